# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function

__metaclass__ = type

import pytest

from ansible_collections.quillane.fleet.plugins.modules import addresses

BEFORE = {'ip': '10.77.1.1', 'mask': '255.255.0.0', 'gateway': '10.77.0.1', 'server': '10.77.0.1', 'standby': '0.0.0.0'}
AFTER = dict(BEFORE, ip='10.77.2.1', gateway='10.77.0.254')


def result(device, value, reason='', before=None, after=None):
    return {'device': device, 'result': value, 'reason': reason, 'address_before': '10.77.1.1',
            'address_after': '10.77.2.1', 'settings_before': before, 'settings_after': after}


def document(*results):
    return {'command': 'change', 'results': list(results), 'summary': {'exit_status': 0}}


PLAN = [{'device': 4879, 'ip': '10.77.2.1', 'gateway': '10.77.0.254'}, {'device': 56451, 'mask': '255.255.255.0'}]


@pytest.mark.parametrize('check_mode, answer, changed', [
    (True, [result(4879, 'would-change', before=BEFORE, after=AFTER), result(56451, 'unchanged')], True),
    (False, [result(4879, 'success', before=BEFORE, after=AFTER), result(56451, 'unchanged')], True),
    (False, [result(4879, 'unchanged'), result(56451, 'unchanged')], False),
    (True, [result(4879, 'unchanged'), result(56451, 'unchanged')], False),
])
def test_changed_comes_from_the_results(run_module, check_mode, answer, changed):
    run_module.cli.answer(0, document(*answer))
    outcome = run_module(addresses.main, {'devices': PLAN, 'wait': 500, 'report': '/srv/q/runs.jsonl'},
                         check_mode=check_mode, diff=True)
    assert not outcome.failed, outcome.result
    assert outcome.result['changed'] is changed
    assert outcome.result['results'] == answer
    command = run_module.cli.commands[0]
    assert command[:2] == ['/opt/q/quillane-cli', 'change'] and command[command.index('--format') + 1] == 'json'
    assert ('--dry-run' in command) is check_mode
    assert command[command.index('--report') + 1] == '/srv/q/runs.jsonl' and command[-2:] == ['--wait', '500']
    assert run_module.cli.plans == ['device,ip,mask,gateway,server,standby\n'
                                    '4879,10.77.2.1,,10.77.0.254,,\n'
                                    '56451,,255.255.255.0,,,\n']
    diff = outcome.result['diff']
    if changed:
        assert diff['before'] == ('device 4879: ip 10.77.1.1, mask 255.255.0.0, gateway 10.77.0.1, '
                                  'server 10.77.0.1, standby 0.0.0.0\n')
        assert diff['after'].startswith('device 4879: ip 10.77.2.1, mask 255.255.0.0, gateway 10.77.0.254,')
    else:
        assert diff == {'before': '', 'after': ''}


def test_failed_refused_and_missing_devices_fail_the_task_by_name(run_module):
    run_module.cli.answer(3, document(result(4879, 'success'), result(56451, 'refused', 'device 4879 has 10.77.2.1'),
                                      result(9, 'not-found', 'the search did not find the device'),
                                      result(10, 'failure', 'the device did not answer in time')))
    outcome = run_module(addresses.main, {'plan': '/srv/q/site.csv'})
    assert outcome.failed and outcome.result['changed'] is True
    assert outcome.result['msg'] == (
        'the address change failed for 3 of 4 devices: device 56451 refused: device 4879 has 10.77.2.1; '
        'device 9 not-found: the search did not find the device; '
        'device 10 failure: the device did not answer in time')
    assert run_module.cli.commands[0][2:4] == ['--plan', '/srv/q/site.csv']


def test_a_bad_plan_fails_with_its_line_and_column(run_module):
    run_module.cli.answer(1, None, "quillane-cli: /srv/q/site.csv line 4, column 2: '10.77.2.300' is not an address\n")
    outcome = run_module(addresses.main, {'plan': '/srv/q/site.csv'})
    assert outcome.failed
    assert "site.csv line 4, column 2: '10.77.2.300' is not an address" in outcome.result['msg']


@pytest.mark.parametrize('args, wanted', [
    ({'plan': '/p.csv', 'devices': PLAN}, 'mutually exclusive'),
    ({}, 'one of the following is required'),
    ({'devices': [{'ip': '10.0.0.1'}]}, 'missing required arguments: device'),
    ({'devices': [{'device': 1}, {'device': 1}]}, 'device 1 is listed twice'),
    ({'devices': PLAN, 'wait': 'soon'}, 'wait'),
])
def test_unusable_arguments_run_nothing(run_module, args, wanted):
    outcome = run_module(addresses.main, args)
    assert outcome.failed and wanted in outcome.result['msg'], outcome.result
    assert run_module.cli.commands == []
