"""Reference-leak rounds on CPython's debug build, in the manner of the
interpreter's own `-R 3:3`: every operation and error path of the shared
catalogue runs in warm-up rounds, then in measured rounds; the interpreter's
total reference count and its count of allocated blocks must stay flat. A
leak of one reference or one block per call grows every measured round by
at least the round's length; the interpreter's own caches (method caches,
specialised instructions, numpy's) settle down to a few and do not."""
import gc
import sys

import pytest
from catalogue import OPERATIONS

pytestmark = pytest.mark.skipif(not hasattr(sys, "gettotalrefcount"),
                                reason="reference totals exist on CPython's debug build only")

WARMUP, MEASURED, CALLS = 3, 3, 100


def one_round(operation, expected):
    caught = expected or ()
    for _ in range(CALLS):
        try:
            operation()
        except caught:
            pass
    gc.collect()
    return sys.gettotalrefcount(), sys.getallocatedblocks()


@pytest.mark.parametrize("name, operation, expected", OPERATIONS, ids=[op[0] for op in OPERATIONS])
def test_no_reference_or_block_grows_in_every_round(name, operation, expected):
    # What exists before the rounds is left out of their collections, which
    # then look at what the rounds made alone: on the debug build a full
    # collection of the test run's heap takes most of a round's time.
    gc.collect()
    gc.freeze()
    try:
        for _ in range(WARMUP):
            last = one_round(operation, expected)
        references, blocks = [], []
        for _ in range(MEASURED):
            now = one_round(operation, expected)
            references.append(now[0] - last[0])
            blocks.append(now[1] - last[1])
            last = now
    finally:
        gc.unfreeze()
    # numpy's extension, built for the release interpreter, takes references
    # that the debug build's totals do not see (bool(numpy.int64(1)) alone
    # drifts by two a call): only its blocks are looked at.
    if "numpy" not in name:
        assert min(references) < CALLS, f"references grew by {references} in rounds of {CALLS} calls"
    assert min(blocks) < CALLS, f"blocks grew by {blocks} in rounds of {CALLS} calls"
