"""Every build says what the x86-64 build said about a fixed corpus (written by
make_golden.py): texts, hashes, numbers and error messages are defined on
bytes and integers, so they must not move with the processor's byte order,
word size or alignment."""

import json
import os

import pytest

from make_golden import GOLDEN, observe

with open(GOLDEN, encoding="utf-8") as golden_file:
    RECORDS = [json.loads(line) for line in golden_file]

KINDS = ["Weekday", "Date", "Time", "Duration", "DateTime", "UtcOffset", "OffsetDateTime", "err"]


def kind(record):
    return "err" if "err" in record else record["class"]


def test_corpus_covers_every_class_and_enough_errors():
    counts = {k: sum(1 for r in RECORDS if kind(r) == k) for k in KINDS}
    assert counts["Weekday"] == 7
    assert all(counts[k] >= 300 for k in KINDS[1:]), counts
    # Equal values hash alike; no two different values of the corpus collide.
    hashed = {(r["class"], json.dumps(r["n"], sort_keys=True)): r["hash"] for r in RECORDS if "hash" in r}
    assert len(set(hashed.values())) == len(hashed)


@pytest.mark.parametrize("which", KINDS)
def test_same_as_on_x86_64(which):
    mismatches = []
    for record in RECORDS:
        if kind(record) != which:
            continue
        expected = {k: v for k, v in record.items() if k != "e"}
        seen = observe(record["e"])
        if seen != expected:
            diff = {k: (expected.get(k), seen.get(k)) for k in expected.keys() | seen.keys()
                    if expected.get(k) != seen.get(k)}
            mismatches.append(f"{json.dumps(record['e'])}: (golden, here) {diff}")
    assert not mismatches, f"{len(mismatches)} differ, the first:\n" + "\n".join(mismatches[:10])


def test_generator_writes_the_checked_in_file(tmp_path, monkeypatch):
    """The file is what the generator writes, so a change to either is seen."""
    import make_golden

    monkeypatch.setattr(make_golden, "GOLDEN", str(tmp_path / "values.jsonl"))
    make_golden.main()
    with open(tmp_path / "values.jsonl", encoding="utf-8") as fresh, open(GOLDEN, encoding="utf-8") as kept:
        assert fresh.read() == kept.read()
