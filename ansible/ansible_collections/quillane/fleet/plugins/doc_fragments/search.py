# -*- coding: utf-8 -*-
# Copyright: Quillane contributors
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    # The options every module passes to the search that finds the site's devices
    # (module_utils' SEARCH_ARGUMENT_SPEC).
    DOCUMENTATION = r'''
options:
  cli:
    description:
      - The C(quillane-cli) program on the site host, a path or a name looked up on the search path.
    type: str
    default: quillane-cli
  types:
    description:
      - Only devices of these type codes (for example C(6401) play terminals, C(51) fire linkage).
      - All types when not given.
    type: list
    elements: int
  range:
    description:
      - Probe this address range (C(FIRST-LAST), for example C(192.168.1.1-192.168.1.254)) instead of a
        multicast search.
    type: str
  wait:
    description:
      - How long each search waits for answers, in milliseconds (the tool's default is 1500).
    type: int
'''
