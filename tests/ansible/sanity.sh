#!/usr/bin/env bash
# ansible-test sanity for the collection, with the tests that run offline on
# Debian's ansible-core (those that need a virtual environment of their own
# fetch pip and their requirements from the network and are left out:
# ansible-doc, import, pep8, pylint, runtime-metadata, validate-modules and
# yamllint), then ansible-doc on every module, as an operator reads it. The
# collection is copied into a temporary tree, so that ansible-test writes its
# output there and not into the sources.
set -euo pipefail
collection=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/ansible_collections/quillane"
cp -r "$collection" "$work/ansible_collections/quillane/fleet"
rm -rf "$work/ansible_collections/quillane/fleet/tests/output"
cd "$work/ansible_collections/quillane/fleet"
offline=(action-plugin-docs changelog compile empty-init future-import-boilerplate line-endings
    metaclass-boilerplate no-assert no-basestring no-dict-iteritems no-dict-iterkeys no-dict-itervalues
    no-get-exception no-illegal-filenames no-main-display no-smart-quotes no-unicode-literals
    replace-urlopen shebang symlinks use-argspec-type-path use-compat-six)
python=$(/usr/bin/python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')
args=()
for test in "${offline[@]}"; do args+=(--test "$test"); done
HOME=$work ansible-test sanity --python "$python" --color no "${args[@]}"
for module in plugins/modules/*.py; do
    name=$(basename "$module" .py)
    text=$(ANSIBLE_COLLECTIONS_PATH=$work HOME=$work ansible-doc -t module "quillane.fleet.$name")
    for part in OPTIONS EXAMPLES "RETURN VALUES"; do
        grep -q "^$part" <<<"$text" || { echo "FAIL: ansible-doc of quillane.fleet.$name has no $part"; exit 1; }
    done
done
echo "sanity: ${offline[*]} and ansible-doc of every module passed"
