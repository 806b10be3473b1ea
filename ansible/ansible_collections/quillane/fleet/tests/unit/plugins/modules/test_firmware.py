# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function

__metaclass__ = type

import pytest

from ansible_collections.quillane.fleet.plugins.modules import firmware

SHA = '9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08'


def document(*results):
    return {'command': 'upgrade', 'firmware': {'name': 'fw.bin', 'size': 4, 'sha256': SHA},
            'results': [{'device': d, 'result': r, 'reason': why, 'version_before': '1', 'version_after': '2'}
                        for d, r, why in results], 'summary': {'exit_status': 0}}


@pytest.mark.parametrize('devices, wanted', [
    ('all', ['--all']),
    ([4879, '56451'], ['--devices', '4879,56451']),
    (4879, ['--devices', '4879']),
])
def test_the_devices_asked_for(run_module, devices, wanted):
    run_module.cli.answer(0, document((4879, 'upgraded', '')))
    outcome = run_module(firmware.main, {'file': '/srv/fw.bin', 'devices': devices, 'version': '2024.3.1.8',
                                         'report': '/srv/runs.jsonl'})
    assert not outcome.failed, outcome.result
    command = run_module.cli.commands[0]
    assert command[:8] == ['/opt/q/quillane-cli', 'upgrade', '--file', '/srv/fw.bin', '--verify', '--format', 'json'] + \
        wanted[:1]
    assert command[7:7 + len(wanted)] == wanted
    assert command[command.index('--version') + 1] == '2024.3.1.8' and '--dry-run' not in command
    assert outcome.result['sha256'] == SHA and outcome.result['report'] == '/srv/runs.jsonl'
    assert outcome.result['changed'] is True


@pytest.mark.parametrize('devices', ['some', [], ['x'], [{'device': 1}], None])
def test_devices_that_are_no_numbers_run_nothing(run_module, devices):
    outcome = run_module(firmware.main, {'file': '/srv/fw.bin', 'devices': devices})
    assert outcome.failed and 'devices' in outcome.result['msg'], outcome.result
    assert run_module.cli.commands == []


def test_check_mode_is_the_dry_run(run_module):
    run_module.cli.answer(0, document((1, 'would-upgrade', ''), (2, 'skipped', 'version 2 already')))
    outcome = run_module(firmware.main, {'file': '/srv/fw.bin', 'devices': 'all'}, check_mode=True)
    assert not outcome.failed and outcome.result['changed'] is True
    assert run_module.cli.commands[0][-1] == '--dry-run'
    assert 'report' not in outcome.result


def test_all_skipped_is_no_change(run_module):
    run_module.cli.answer(0, document((1, 'skipped', 'version 2 already'), (2, 'skipped', 'version 2 already')))
    outcome = run_module(firmware.main, {'file': '/srv/fw.bin', 'devices': 'all', 'version': '2'})
    assert not outcome.failed and outcome.result['changed'] is False


def test_a_device_that_failed_is_named(run_module):
    run_module.cli.answer(3, document((1, 'upgraded', ''), (2, 'failed', 'failed: the device did not load the file'),
                                      (3, 'not-found', 'the search did not find the device')))
    outcome = run_module(firmware.main, {'file': '/srv/fw.bin', 'devices': [1, 2, 3]})
    assert outcome.failed and outcome.result['changed'] is True
    assert outcome.result['msg'] == ('the upgrade failed for 2 of 3 devices: device 2 failed: failed: the device did '
                                     'not load the file; device 3 not-found: the search did not find the device')
    assert [r['result'] for r in outcome.result['results']] == ['upgraded', 'failed', 'not-found']


def test_a_taken_tftp_port_fails_before_anything_is_sent(run_module):
    run_module.cli.answer(1, None, 'quillane-cli: the TFTP server cannot use UDP port 69: Address already in use\n')
    outcome = run_module(firmware.main, {'file': '/srv/fw.bin', 'devices': 'all'})
    assert outcome.failed and 'UDP port 69' in outcome.result['msg']
