"""Beyond one process: a Dask dataframe's column of stamps parsed partition by
partition (map_partitions) on a local cluster of two worker processes is the
column parsed in one process, as the recipe of docs/columns.rst does it."""
import importlib
import importlib.util

import pytest

# The work runs in an interpreter of its own: dask and distributed bring tens
# of thousands of objects, which every garbage collection of the rest of the
# suite (the leak suites collect after each round) would walk for good.
CLUSTER = r"""
import random
import dask
# Debian has no dask-expr: the dataframes without its query planning, said
# up front so that importing them does not warn.
dask.config.set({"dataframe.query-planning": False})
import dask.dataframe as dd
import distributed
import pandas as pd
import kairodex_columns


def stamps(count):
    rng = random.Random(3)
    zones = ["Z", "+02:00", "-05:30", "+00:00"]
    texts = [f"2024-{rng.randint(1, 12):02}-{rng.randint(1, 28):02}T{rng.randint(0, 23):02}:{rng.randint(0, 59):02}:"
             f"{rng.randint(0, 59):02}.{rng.randint(0, 999999):06}{rng.choice(zones)}" for _ in range(count)]
    texts[17] = "not a stamp"
    texts[count - 3] = None
    return texts


def parse(texts):
    instants, offsets = kairodex_columns.parse_offset_datetimes(
        texts.to_numpy(dtype=object, na_value=None), unit="us", errors="null")
    return pd.DataFrame({"instant": instants, "offset": offsets}, index=texts.index)


if __name__ == "__main__":
    frame = pd.DataFrame({"stamp": stamps(20_000)})
    expected = parse(frame["stamp"])
    meta = pd.DataFrame({"instant": pd.Series(dtype="datetime64[us]"), "offset": pd.Series(dtype="int32")})
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None) as cluster, distributed.Client(cluster):
        parsed = dd.from_pandas(frame, npartitions=4)["stamp"].map_partitions(parse, meta=meta).compute()
    pd.testing.assert_frame_equal(parsed, expected)
    print("equal", parsed["instant"].isna().sum())
"""


def _installed(name, load):
    # A package can be found and still fail to import: Debian ships numpy's
    # Python files for every interpreter but builds its core for some. The
    # light ones are loaded to be sure; dask and distributed only looked for.
    try:
        return importlib.import_module(name) if load else importlib.util.find_spec(name)
    except ImportError:
        return None


@pytest.mark.skipif(not all(_installed(name, load) for name, load in
                            {"numpy": True, "pandas": True, "dask": False, "distributed": False}.items()),
                    reason="dask, distributed, pandas or numpy is not installed")
def test_partitions_parsed_on_a_cluster_are_the_column_parsed_here(run_python, tmp_path):
    # A script file rather than -c: the worker processes import it by name
    # to find parse().
    script = tmp_path / "cluster_parse.py"
    script.write_text(CLUSTER)
    result = run_python(f"import runpy, sys; sys.path.insert(0, {str(tmp_path)!r}); "
                        f"runpy.run_path({str(script)!r}, run_name='__main__')")
    assert result.returncode == 0, result.stderr[-3000:]
    assert result.stdout.split() == ["equal", "2"]
