#!/usr/bin/env python3
"""Writes a configuration JSON padded with blanks past the extraction limit."""
import sys

with open(sys.argv[1], "w") as f:
    f.write('{"brand_id": "huge"}' + " " * (17 << 20))
