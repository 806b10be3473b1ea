#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: Quillane contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
---
module: devices_info
short_description: Lists the public-address devices on a site's network
version_added: 1.0.0
description:
  - Runs C(quillane-cli search) on the site host, which searches its own network segment for devices
    (by multicast, or by probing an address range), and returns every device that answered with its
    address settings, type and version.
  - Also returns what looks wrong among them (addresses answered by more than one device, device
    numbers the group form cannot tell apart, devices outside every segment of the site host, and
    addresses that are no single host's). Findings are reported, never changed, and do not fail the task.
  - Never changes anything on a device.
  - Needs C(quillane-cli) on the site host. The search uses the device ports (UDP 25000 and 25005);
    it cannot run while the window or another C(quillane-cli) of the site host holds them.
author:
  - Quillane contributors
extends_documentation_fragment:
  - quillane.fleet.search
attributes:
  check_mode:
    support: full
    description: The search sends only searches; it runs in check mode as it does otherwise.
  diff_mode:
    support: none
  platform:
    platforms: posix
notes:
  - Multicast searches and boot broadcasts stay on one network segment, so run this module on a host
    at each site (with C(serial) or forks across sites), not from one central host.
seealso:
  - module: quillane.fleet.addresses
  - module: quillane.fleet.firmware
'''

EXAMPLES = r'''
- name: Take the inventory of every site
  quillane.fleet.devices_info:
    wait: 2000
  register: site

- name: Play terminals of one address range, with the tool in /opt
  quillane.fleet.devices_info:
    cli: /opt/quillane/quillane-cli
    types: [6401]
    range: 192.168.1.1-192.168.1.254

- name: Stop when two devices share an address
  ansible.builtin.assert:
    that: site.findings | selectattr('kind', 'equalto', 'shared-address') | list | length == 0
'''

RETURN = r'''
devices:
  description: Every device that answered, sorted by address.
  returned: success
  type: list
  elements: dict
  contains:
    device:
      description: The device number.
      type: int
      sample: 4879
    ip:
      description: The device's address.
      type: str
      sample: 192.168.1.20
    mask:
      description: Its subnet mask.
      type: str
      sample: 255.255.255.0
    gateway:
      description: Its default gateway.
      type: str
      sample: 192.168.1.1
    server:
      description: Its server address.
      type: str
      sample: 192.168.1.250
    standby:
      description: Its standby server address.
      type: str
      sample: 0.0.0.0
    type:
      description: The device type code; null for a device of a type the tool does not know.
      type: int
      sample: 6401
    version:
      description: The firmware version as the table shows it.
      type: str
      sample: 2024.3.1.8
findings:
  description: What looks wrong among the devices found.
  returned: success
  type: list
  elements: dict
  contains:
    kind:
      description:
        - C(shared-address) several devices answer with one address;
          C(shared-group-number) device numbers whose low 16 bits are equal;
          C(off-segment) a device outside every segment of the site host;
          C(non-host) an address that is a network, broadcast or multicast address.
      type: str
      sample: shared-address
    devices:
      description: The device numbers concerned.
      type: list
      elements: int
      sample: [4879, 70001]
    detail:
      description: The finding in words.
      type: str
      sample: Devices 4879, 70001 share the IP address 192.168.1.20
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.quillane.fleet.plugins.module_utils.quillane_cli import (
    SEARCH_ARGUMENT_SPEC, CliError, find_cli, run, search_args)


def main():
    module = AnsibleModule(argument_spec=dict(SEARCH_ARGUMENT_SPEC), supports_check_mode=True)
    try:
        cli = find_cli(module, module.params['cli'])
        args = [cli, 'search', '--check', '--format', 'json'] + search_args(module.params)
        document, _ = run(module, args)
    except CliError as error:
        module.fail_json(msg=str(error))
    module.exit_json(changed=False, devices=document.get('devices', []), findings=document.get('findings', []))


if __name__ == '__main__':
    main()
