#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: Quillane contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
---
module: addresses
short_description: Gives the devices of a site their address settings
version_added: 1.0.0
description:
  - Runs C(quillane-cli change --plan) on the site host. It searches the site's network, works out
    every listed device's new settings and sends them in one batch, then waits for each device's answer.
  - A device that already has its settings gets no command, so a second run of the same settings
    reports C(changed=false) and sends nothing.
  - No two devices are ever given one address, nor a device the address of another device found;
    such a plan is refused as a whole and nothing is sent.
  - The task fails when any device failed, was refused or was not found by the search, and names them.
author:
  - Quillane contributors
extends_documentation_fragment:
  - quillane.fleet.search
options:
  devices:
    description:
      - The devices and their settings. A setting left empty or out keeps the device's present value.
      - Give either C(devices) or C(plan).
    type: list
    elements: dict
    suboptions:
      device:
        description: The device number.
        type: int
        required: true
      ip:
        description: The new address.
        type: str
      mask:
        description: The new subnet mask.
        type: str
      gateway:
        description: The new default gateway.
        type: str
      server:
        description: The new server address.
        type: str
      standby:
        description: The new standby server address.
        type: str
  plan:
    description:
      - A plan file on the site host (CSV in UTF-8, comma or semicolon, a header line naming the columns
        C(device), C(ip), C(mask), C(gateway), C(server), C(standby)); an inventory exported with
        C(quillane-cli search --format csv) and edited is a plan too.
      - A plan with a fault (an unknown column, an address that is not four octets, a device listed twice,
        two devices given one address) fails the task with its line and column; nothing is sent.
    type: path
  report:
    description:
      - A file on the site host where one JSON line per device is appended (the run record).
    type: path
attributes:
  check_mode:
    support: full
    description: The tool's dry run; every check of a real run is made and nothing is sent.
  diff_mode:
    support: full
    description: Each changed device's settings before and after.
  platform:
    platforms: posix
notes:
  - Address changes use the device ports (UDP 25000 and 25005) of the site host.
seealso:
  - module: quillane.fleet.devices_info
'''

EXAMPLES = r'''
- name: Two devices get new addresses and a gateway
  quillane.fleet.addresses:
    devices:
      - device: 4879
        ip: 192.168.1.20
        gateway: 192.168.1.1
      - device: 56451
        ip: 192.168.1.21
        gateway: 192.168.1.1

- name: The site's plan, kept on the site host, with a run record
  quillane.fleet.addresses:
    plan: /srv/quillane/site.csv
    report: /srv/quillane/runs.jsonl
'''

RETURN = r'''
changed:
  description: Whether any device was changed (in check mode, would be).
  returned: always
  type: bool
results:
  description: One entry per device of the plan.
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
        C(success), C(failure) (the device reported a failure or did not answer), C(refused)
        (the batch would have given it an address another device has), C(not-found),
        C(unchanged) (it has the settings already), C(would-change) (check mode).
      type: str
      sample: success
    reason:
      description: Why, for anything but a success; empty otherwise.
      type: str
      sample: ''
    address_before:
      description: The device's address before; null when it was not found.
      type: str
      sample: 10.77.1.1
    address_after:
      description: Its address after (in check mode, the planned one); null when not known.
      type: str
      sample: 192.168.1.20
    settings_before:
      description: Its address settings before (ip, mask, gateway, server, standby).
      type: dict
    settings_after:
      description: Its address settings after, or those it would get in check mode.
      type: dict
summary:
  description: Counts by result and the tool's exit status.
  returned: when the tool ran
  type: dict
  sample: {"devices": 2, "failed": 0, "results": {"success": 2}, "exit_status": 0}
'''

import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.quillane.fleet.plugins.module_utils.quillane_cli import (
    SEARCH_ARGUMENT_SPEC, CliError, any_changed, failure_message, find_cli, plan_csv, results_of, run,
    search_args)

DEVICE_SPEC = dict(
    device=dict(type='int', required=True),
    ip=dict(type='str'),
    mask=dict(type='str'),
    gateway=dict(type='str'),
    server=dict(type='str'),
    standby=dict(type='str'),
)


def argument_spec():
    spec = dict(SEARCH_ARGUMENT_SPEC)
    spec.update(
        devices=dict(type='list', elements='dict', options=DEVICE_SPEC),
        plan=dict(type='path'),
        report=dict(type='path'),
    )
    return spec


def settings_text(results, key):
    lines = []
    for r in results:
        settings = r.get(key)
        if settings:
            lines.append('device %s: %s' % (r['device'], ', '.join(
                '%s %s' % (name, settings.get(name, '')) for name in ('ip', 'mask', 'gateway', 'server', 'standby'))))
    return '\n'.join(lines) + ('\n' if lines else '')


def diff_of(results):
    changed = [r for r in results if r.get('result') in ('success', 'would-change')]
    return dict(before=settings_text(changed, 'settings_before'), after=settings_text(changed, 'settings_after'))


def plan_path(module):
    """The plan file to hand the tool: the one given, or the devices written into a temporary one."""
    if module.params['plan']:
        return module.params['plan']
    path = os.path.join(module.tmpdir, 'quillane-plan.csv')
    with open(path, 'w') as plan:
        plan.write(plan_csv(module.params['devices']))
    return path


def change_args(module, cli):
    args = [cli, 'change', '--plan', plan_path(module), '--format', 'json']
    if module.check_mode:
        args.append('--dry-run')
    if module.params['report']:
        args += ['--report', module.params['report']]
    return args + search_args(module.params)


def main():
    module = AnsibleModule(argument_spec=argument_spec(), supports_check_mode=True,
                           mutually_exclusive=[('devices', 'plan')], required_one_of=[('devices', 'plan')])
    try:
        cli = find_cli(module, module.params['cli'])
        document, _ = run(module, change_args(module, cli))
    except CliError as error:
        module.fail_json(msg=str(error))
    results = results_of(document)
    outcome = dict(changed=any_changed(results), results=results, summary=document.get('summary', {}))
    if module._diff:
        outcome['diff'] = diff_of(results)
    failed = failure_message(results, 'the address change')
    if failed:
        module.fail_json(msg=failed, **outcome)
    module.exit_json(**outcome)


if __name__ == '__main__':
    main()
