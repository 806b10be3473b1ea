# -*- coding: utf-8 -*-
# Copyright: Quillane contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)
"""Running quillane-cli on a site host and reading its JSON documents.

The modules never read the tool's human text: results come from the JSON
document on standard output and from the exit status (0 done, 1 unusable,
3 some devices failed, were not found, or the search found trouble). Only
when the tool could not do its work at all (exit status 1) is its message
on standard error handed on, as the reason the task failed.
"""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os

EXIT_DONE = 0
EXIT_UNUSABLE = 1
EXIT_SOME_FAILED = 3

# Results that make a task fail, and those that mean a device was (or would be) changed.
FAILED_RESULTS = ('failure', 'failed', 'refused', 'not-found')
CHANGED_RESULTS = ('success', 'would-change', 'upgraded', 'would-upgrade')

PLAN_COLUMNS = ('device', 'ip', 'mask', 'gateway', 'server', 'standby')

# The options every module shares: where the tool is and how it searches.
SEARCH_ARGUMENT_SPEC = dict(
    cli=dict(type='str', default='quillane-cli'),
    types=dict(type='list', elements='int'),
    range=dict(type='str'),
    wait=dict(type='int'),
)


class CliError(Exception):
    """quillane-cli could not be run, or did not say what it did."""


def find_cli(module, cli):
    """The path of the tool: a path as given, or a name looked up on the search path."""
    if os.sep in cli:
        if not os.path.isfile(cli):
            raise CliError('quillane-cli not found at %s (option cli)' % cli)
        if not os.access(cli, os.X_OK):
            raise CliError('quillane-cli at %s is not executable (option cli)' % cli)
        return cli
    path = module.get_bin_path(cli)
    if not path:
        raise CliError('%s not found on the search path of the site host; install quillane-cli '
                       'there or give its path with the option cli' % cli)
    return path


def search_args(params):
    """The search options of quillane-cli for the module's types, range and wait."""
    args = []
    if params.get('types'):
        args += ['--types', ','.join(str(t) for t in params['types'])]
    if params.get('range'):
        args += ['--range', params['range']]
    if params.get('wait') is not None:
        if params['wait'] < 0:
            raise CliError('wait must be 0 or more milliseconds, not %d' % params['wait'])
        args += ['--wait', str(params['wait'])]
    return args


def read_document(rc, stdout, stderr, accepted=(EXIT_DONE, EXIT_SOME_FAILED)):
    """The JSON document of a run that ended with an accepted exit status."""
    if rc == EXIT_UNUSABLE:
        raise CliError('quillane-cli could not do its work: %s' % tool_message(stderr))
    if rc not in accepted:
        raise CliError('quillane-cli ended with exit status %d: %s' % (rc, tool_message(stderr)))
    try:
        document = json.loads(stdout)
    except ValueError:
        raise CliError('quillane-cli printed no JSON document (a version without --format json?): %s'
                       % tool_message(stderr))
    if not isinstance(document, dict):
        raise CliError('quillane-cli printed JSON that is not a document object')
    return document


def tool_message(stderr):
    """The tool's own messages (lines starting "quillane-cli: "), else the end of standard error."""
    lines = [line.strip() for line in (stderr or '').splitlines() if line.strip()]
    said = [line[len('quillane-cli: '):] for line in lines if line.startswith('quillane-cli: ')]
    return '; '.join(said or lines[-3:]) or 'no message'


def run(module, args, accepted=(EXIT_DONE, EXIT_SOME_FAILED)):
    """Runs quillane-cli with `args` (the path first) and returns (document, rc)."""
    rc, stdout, stderr = module.run_command(args)
    return read_document(rc, stdout, stderr, accepted), rc


def plan_csv(devices):
    """A plan file's text for a list of device settings; an empty or missing value keeps a setting."""
    lines = [','.join(PLAN_COLUMNS)]
    seen = set()
    for entry in devices:
        number = entry.get('device')
        if number is None:
            raise CliError('every entry of devices needs its device number')
        if number in seen:
            raise CliError('device %d is listed twice in devices' % number)
        seen.add(number)
        cells = [str(number)]
        for key in PLAN_COLUMNS[1:]:
            value = entry.get(key)
            value = '' if value is None else str(value).strip()
            if any(c in value for c in ',;"\r\n'):
                raise CliError('device %d: %s %r is not an address' % (number, key, value))
            cells.append(value)
        lines.append(','.join(cells))
    return '\n'.join(lines) + '\n'


def results_of(document):
    return document.get('results') or []


def devices_with(results, wanted):
    return [r['device'] for r in results if r.get('result') in wanted]


def any_changed(results):
    return any(r.get('result') in CHANGED_RESULTS for r in results)


def failure_message(results, what):
    """'' when no device failed; else the devices and their reasons, one clause each."""
    failed = [r for r in results if r.get('result') in FAILED_RESULTS]
    if not failed:
        return ''
    clauses = ['device %s %s%s' % (r['device'], r['result'], (': ' + r['reason']) if r.get('reason') else '')
               for r in failed]
    return '%s failed for %d of %d devices: %s' % (what, len(failed), len(results), '; '.join(clauses))
