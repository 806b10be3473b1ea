# -*- coding: utf-8 -*-
# Runs a module's main() with given arguments and a fake quillane-cli: the
# commands it was asked to run are kept, its answers are given by the test.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os

import pytest

from ansible.module_utils import basic
from ansible.module_utils.common.text.converters import to_bytes


class ModuleExit(Exception):
    def __init__(self, failed, result):
        Exception.__init__(self, result.get('msg', ''))
        self.failed = failed
        self.result = result


class FakeCli:
    def __init__(self):
        self.commands = []
        self.plans = []
        self.answers = []

    def answer(self, rc, document=None, stderr=''):
        self.answers.append((rc, json.dumps(document) if document is not None else '', stderr))

    def run_command(self, args):
        self.commands.append(list(args))
        plan = args[args.index('--plan') + 1] if '--plan' in args else None
        if plan and os.path.exists(plan):
            with open(plan) as text:
                self.plans.append(text.read())
        return self.answers.pop(0)


@pytest.fixture
def run_module(monkeypatch):
    cli = FakeCli()

    def exit_json(module, **result):
        raise ModuleExit(False, result)

    def fail_json(module, **result):
        raise ModuleExit(True, result)

    monkeypatch.setattr(basic.AnsibleModule, 'exit_json', exit_json)
    monkeypatch.setattr(basic.AnsibleModule, 'fail_json', fail_json)
    monkeypatch.setattr(basic.AnsibleModule, 'run_command', lambda module, args, *a, **k: cli.run_command(args))
    monkeypatch.setattr(basic.AnsibleModule, 'get_bin_path', lambda module, name, *a, **k: '/opt/q/' + name)

    def run(main, args, check_mode=False, diff=False):
        args = dict(args, _ansible_check_mode=check_mode, _ansible_diff=diff,
                    _ansible_remote_tmp='/tmp', _ansible_keep_remote_files=False)
        monkeypatch.setattr(basic, '_ANSIBLE_ARGS', to_bytes(json.dumps({'ANSIBLE_MODULE_ARGS': args})))
        with pytest.raises(ModuleExit) as outcome:
            main()
        return outcome.value

    run.cli = cli
    return run
