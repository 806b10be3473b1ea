# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function

__metaclass__ = type

from ansible_collections.quillane.fleet.plugins.modules import devices_info

DEVICE = {'device': 4879, 'ip': '10.77.1.1', 'mask': '255.255.0.0', 'gateway': '10.77.0.1', 'server': '10.77.0.1',
          'standby': '0.0.0.0', 'type': 6401, 'version': '2024.3.1.8'}
FINDING = {'kind': 'shared-address', 'devices': [4879, 70001], 'detail': 'Devices 4879, 70001 share the IP address'}


def test_devices_and_findings_from_the_document(run_module):
    run_module.cli.answer(3, {'devices': [DEVICE], 'findings': [FINDING]}, '1 device found\n')
    outcome = run_module(devices_info.main, {'types': [6401, 51], 'range': '10.77.1.1-10.77.1.9', 'wait': 800},
                         check_mode=True)
    assert not outcome.failed, outcome.result
    assert outcome.result['changed'] is False
    assert outcome.result['devices'] == [DEVICE] and outcome.result['findings'] == [FINDING]
    assert run_module.cli.commands == [['/opt/q/quillane-cli', 'search', '--check', '--format', 'json',
                                        '--types', '6401,51', '--range', '10.77.1.1-10.77.1.9', '--wait', '800']]


def test_a_port_held_by_another_program_fails_with_the_tools_reason(run_module):
    run_module.cli.answer(1, None, 'quillane-cli: cannot use UDP port 25005 (device replies): Address already in use\n')
    outcome = run_module(devices_info.main, {})
    assert outcome.failed
    assert 'UDP port 25005' in outcome.result['msg']


def test_a_tool_given_by_a_missing_path(run_module, tmp_path):
    outcome = run_module(devices_info.main, {'cli': str(tmp_path / 'quillane-cli')})
    assert outcome.failed and 'quillane-cli not found at' in outcome.result['msg']
    assert run_module.cli.commands == []
