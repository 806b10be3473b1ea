# -*- coding: utf-8 -*-
from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os

import pytest

from ansible_collections.quillane.fleet.plugins.module_utils import quillane_cli as q


@pytest.mark.parametrize('rc, stdout, stderr, wanted', [
    (1, '', 'quillane-cli: cannot use UDP port 69 (TFTP): Address already in use\n',
     'could not do its work: cannot use UDP port 69 (TFTP): Address already in use'),
    (1, '', "quillane-cli: site.csv line 3, column 2: '10.0.0.300' is not an address\nTry 'quillane-cli --help'.\n",
     "site.csv line 3, column 2: '10.0.0.300' is not an address"),
    (0, 'device 1  10.0.0.1 -> 10.0.0.2  Success\n', '', 'printed no JSON document'),
    (3, '[1, 2]', '', 'not a document object'),
    (139, '', '', 'exit status 139: no message'),
    (127, '', 'sh: 1: quillane-cli: not found\n', 'exit status 127: sh: 1: quillane-cli: not found'),
])
def test_unusable_runs_say_why(rc, stdout, stderr, wanted):
    with pytest.raises(q.CliError) as error:
        q.read_document(rc, stdout, stderr)
    assert wanted in str(error.value)


def test_documents_are_read_for_done_and_some_failed():
    document = {'results': [{'device': 1, 'result': 'not-found'}], 'summary': {'exit_status': 3}}
    assert q.read_document(3, json.dumps(document), 'progress 10%\n') == document
    assert q.read_document(0, '{"devices": [], "findings": []}\n', '') == {'devices': [], 'findings': []}


def test_plan_of_devices_keeps_empty_settings():
    text = q.plan_csv([{'device': 4879, 'ip': '192.168.1.20', 'mask': None, 'gateway': ' 192.168.1.1 '},
                       {'device': -3, 'standby': ''}])
    assert text == ('device,ip,mask,gateway,server,standby\n'
                    '4879,192.168.1.20,,192.168.1.1,,\n'
                    '-3,,,,,\n')


@pytest.mark.parametrize('devices, wanted', [
    ([{'device': 1}, {'device': 1}], 'device 1 is listed twice'),
    ([{'device': 2, 'ip': '10.0.0.1,10.0.0.2'}], "ip '10.0.0.1,10.0.0.2' is not an address"),
    ([{'device': 3, 'gateway': '10.0.0.1\n4,10.0.0.9'}], 'is not an address'),
    ([{'ip': '10.0.0.1'}], 'needs its device number'),
])
def test_plan_entries_that_would_bend_the_file_are_refused(devices, wanted):
    with pytest.raises(q.CliError) as error:
        q.plan_csv(devices)
    assert wanted in str(error.value)


def test_changed_and_failures_come_from_the_results():
    results = [{'device': 1, 'result': 'unchanged', 'reason': ''},
               {'device': 2, 'result': 'refused', 'reason': 'device 1 has that address'},
               {'device': 3, 'result': 'not-found', 'reason': ''},
               {'device': 4, 'result': 'skipped', 'reason': 'version 2 already'}]
    assert not q.any_changed(results)
    assert q.any_changed(results + [{'device': 5, 'result': 'would-upgrade'}])
    assert q.failure_message(results, 'the address change') == (
        'the address change failed for 2 of 4 devices: device 2 refused: device 1 has that address; '
        'device 3 not-found')
    assert q.failure_message(results[:1], 'the upgrade') == ''
    assert q.devices_with(results, q.FAILED_RESULTS) == [2, 3]


def test_search_options():
    assert q.search_args({'types': [6401, 51], 'range': '10.0.0.1-10.0.0.9', 'wait': 0}) == [
        '--types', '6401,51', '--range', '10.0.0.1-10.0.0.9', '--wait', '0']
    assert q.search_args({'types': None, 'range': None, 'wait': None}) == []
    with pytest.raises(q.CliError):
        q.search_args({'wait': -1})


class FakeModule:
    def __init__(self, found=None):
        self.found = found

    def get_bin_path(self, name):
        return self.found


def test_the_tool_is_found_or_the_reason_is_said(tmp_path):
    tool = tmp_path / 'quillane-cli'
    tool.write_text('#!/bin/sh\n')
    with pytest.raises(q.CliError) as error:
        q.find_cli(FakeModule(), str(tool))
    assert 'is not executable' in str(error.value)
    os.chmod(str(tool), 0o755)
    assert q.find_cli(FakeModule(), str(tool)) == str(tool)
    with pytest.raises(q.CliError) as error:
        q.find_cli(FakeModule(), str(tmp_path / 'missing'))
    assert 'not found at' in str(error.value)
    with pytest.raises(q.CliError) as error:
        q.find_cli(FakeModule(), 'quillane-cli')
    assert 'not found on the search path' in str(error.value)
    assert q.find_cli(FakeModule('/usr/bin/quillane-cli'), 'quillane-cli') == '/usr/bin/quillane-cli'
