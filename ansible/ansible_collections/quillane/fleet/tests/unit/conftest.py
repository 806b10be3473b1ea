# -*- coding: utf-8 -*-
# Run by plain pytest the collection is imported from the folder above
# ansible_collections (ansible-test units sets this up itself).
from __future__ import absolute_import, division, print_function

__metaclass__ = type

import os
import sys

COLLECTIONS_ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..', '..', '..', '..'))
if COLLECTIONS_ROOT not in sys.path:
    sys.path.insert(0, COLLECTIONS_ROOT)
