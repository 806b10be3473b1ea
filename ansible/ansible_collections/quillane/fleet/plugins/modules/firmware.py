#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: Quillane contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
---
module: firmware
short_description: Upgrades the firmware of a site's devices
version_added: 1.0.0
description:
  - Runs C(quillane-cli upgrade --verify) on the site host. It searches the site's network, then
    upgrades the chosen devices one after the other through its own boot-address responder and TFTP
    server, and searches again to read each device's version.
  - With C(version), devices that already report it are skipped, and each upgraded device must report
    it afterwards. Without it, a device whose version did not change counts as failed.
  - The task fails when any device failed or was not found, and names them.
  - The boot responder and the TFTP server use UDP ports 67 and 69 of the site host, which need root
    (C(become)) or the C(CAP_NET_BIND_SERVICE) capability; a port held by another program (a DHCP or TFTP
    server) fails the task before anything is sent.
author:
  - Quillane contributors
extends_documentation_fragment:
  - quillane.fleet.search
options:
  file:
    description: The firmware file on the site host.
    type: path
    required: true
  devices:
    description:
      - The device numbers to upgrade (a list, or one number), or C(all) for every device found.
    type: raw
    required: true
  version:
    description:
      - The version the file brings, as the device table shows it (for example C(2024.3.1.8)).
    type: str
  report:
    description:
      - A file on the site host where one JSON line per device is appended (the run record).
    type: path
attributes:
  check_mode:
    support: full
    description: >-
      The upgrade's pre-flight (the file, the ports, each device's segment) and the devices it would
      upgrade; nothing is sent.
  diff_mode:
    support: none
  platform:
    platforms: posix
seealso:
  - module: quillane.fleet.devices_info
'''

EXAMPLES = r'''
- name: Every device of the site to 2024.3.1.8, with a record of the run
  quillane.fleet.firmware:
    file: /srv/quillane/firmware-2024.3.1.8.bin
    version: 2024.3.1.8
    devices: all
    report: /srv/quillane/runs.jsonl
  become: true

- name: Two devices
  quillane.fleet.firmware:
    file: /srv/quillane/firmware.bin
    devices: [4879, 56451]
  become: true
'''

RETURN = r'''
changed:
  description: Whether any device was upgraded (in check mode, would be).
  returned: always
  type: bool
results:
  description: One entry per device chosen.
  returned: when the tool ran
  type: list
  elements: dict
  contains:
    device:
      description: The device number.
      type: int
      sample: 4879
    result:
      description: >-
        C(upgraded), C(failed), C(skipped) (it reports C(version) already), C(not-found),
        C(would-upgrade) (check mode).
      type: str
      sample: upgraded
    reason:
      description: Why, for anything but an upgrade; empty otherwise.
      type: str
      sample: 'failed: the device did not load the file'
    version_before:
      description: The version before.
      type: str
      sample: 2024.2.9.1
    version_after:
      description: The version the search after the run found; null when the device did not answer it.
      type: str
      sample: 2024.3.1.8
sha256:
  description: The SHA-256 of the firmware file.
  returned: when the tool ran
  type: str
  sample: 9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08
report:
  description: The run record file, when one was asked for.
  returned: when C(report) was given
  type: str
  sample: /srv/quillane/runs.jsonl
summary:
  description: Counts by result and the tool's exit status.
  returned: when the tool ran
  type: dict
  sample: {"devices": 3, "failed": 0, "results": {"upgraded": 2, "skipped": 1}, "exit_status": 0}
'''

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.six import integer_types, string_types
from ansible_collections.quillane.fleet.plugins.module_utils.quillane_cli import (
    SEARCH_ARGUMENT_SPEC, CliError, any_changed, failure_message, find_cli, results_of, run, search_args)


def argument_spec():
    spec = dict(SEARCH_ARGUMENT_SPEC)
    spec.update(
        file=dict(type='path', required=True),
        devices=dict(type='raw', required=True),
        version=dict(type='str'),
        report=dict(type='path'),
    )
    return spec


def device_args(devices):
    """--all, or --devices with the numbers; a CliError for anything else."""
    if isinstance(devices, string_types) and devices.strip() == 'all':
        return ['--all']
    if isinstance(devices, (integer_types, string_types)):
        devices = [devices]
    if not isinstance(devices, list) or not devices:
        raise CliError("devices must be a list of device numbers or 'all'")
    numbers = []
    for entry in devices:
        try:
            numbers.append(int(entry))
        except (TypeError, ValueError):
            raise CliError("devices must be a list of device numbers or 'all', not %r" % (entry,))
    return ['--devices', ','.join(str(n) for n in numbers)]


def upgrade_args(module, cli):
    params = module.params
    args = [cli, 'upgrade', '--file', params['file'], '--verify', '--format', 'json'] + device_args(params['devices'])
    if params['version']:
        args += ['--version', params['version']]
    if params['report']:
        args += ['--report', params['report']]
    if module.check_mode:
        args.append('--dry-run')
    return args + search_args(params)


def main():
    module = AnsibleModule(argument_spec=argument_spec(), supports_check_mode=True)
    try:
        cli = find_cli(module, module.params['cli'])
        document, _ = run(module, upgrade_args(module, cli))
    except CliError as error:
        module.fail_json(msg=str(error))
    results = results_of(document)
    outcome = dict(changed=any_changed(results), results=results, summary=document.get('summary', {}),
                   sha256=(document.get('firmware') or {}).get('sha256'))
    if module.params['report']:
        outcome['report'] = module.params['report']
    failed = failure_message(results, 'the upgrade')
    if failed:
        module.fail_json(msg=failed, **outcome)
    module.exit_json(**outcome)


if __name__ == '__main__':
    main()
