"""Every operation and every error path, run thousands of times: the number of
allocated blocks must come back to where it was, and so must the reference
counts of the type objects and of the weekday attributes."""
import gc
import sys

import pytest
from catalogue import OPERATIONS, TRACKED

RUNS = 1000
TOLERANCE = 100  # blocks; a leak of one block per call shows as a thousand


def repeat(operation, expected, times):
    caught = expected or ()
    for _ in range(times):
        try:
            operation()
        except caught:
            pass


@pytest.mark.parametrize("operation, expected", [op[1:] for op in OPERATIONS], ids=[op[0] for op in OPERATIONS])
def test_operation_leaves_nothing_behind(operation, expected):
    if expected is None:
        operation()
    else:
        with pytest.raises(expected):
            operation()
    repeat(operation, expected, 100)  # fill caches and free lists first
    gc.collect()
    # What exists now is left out of the rounds' collections, which then walk
    # what the rounds made alone rather than the whole test run's heap (the
    # blocks and references are counted as before).
    gc.freeze()
    try:
        references = [sys.getrefcount(obj) for obj in TRACKED]
        growth = []
        for _ in range(2):  # a leak grows in every round; a cache filling up, once
            blocks = sys.getallocatedblocks()
            repeat(operation, expected, RUNS)
            gc.collect()
            growth.append(sys.getallocatedblocks() - blocks)
    finally:
        gc.unfreeze()
    assert min(growth) < TOLERANCE, growth
    assert [sys.getrefcount(obj) for obj in TRACKED] == references
