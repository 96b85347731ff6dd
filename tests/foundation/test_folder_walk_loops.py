"""Folder links that lead back up: the add-on scan's and the livery scan's walks enter each
folder once and end, natively and under Wine (where a link looks like a plain folder), and
meet every file once, also on a volume whose folder ids are not to be had in full and at
any depth."""
import pytest

from standins import programs


@pytest.mark.parametrize("faults", [
    None,
    # The resolved path is asked for and cannot be had: an index that may repeat is not
    # trusted (Windows only; natively the inode is always trusted).
    "index-not-unique,no-resolved-path",
    # Neither an index nor a resolved path: a folder that holds just what one above it
    # holds is a link back up.
    "index-zero,no-resolved-path",
])
def test_three_loop_links_end_both_walks_with_every_file_met_once(tmp_path, faults):
    tree = tmp_path / "tree"
    (tree / "a" / "b").mkdir(parents=True)
    (tree / "a" / "b" / "EDDF.bgl").write_bytes(b"")
    (tree / "a" / "aircraft.cfg").write_text("")
    deep = tree.joinpath(*(f"d{level}" for level in range(1, 17)))
    deep.mkdir(parents=True)
    (deep / "LOWW.bgl").write_bytes(b"")
    (tree / "a" / "b" / "up").symlink_to("../..")
    (tree / "a" / "root").symlink_to("..")
    (tree / "d1" / "home").symlink_to("..")
    (tree / "a" / "again").symlink_to("../a")
    options = ["--folder-id-faults", faults] if faults else []
    result = programs.run("files_probe", "walk", programs.host_path(tree), *options, timeout=60)
    assert result.returncode == 0, result.stderr
    counts = dict(line.split("=") for line in result.stdout.decode().split())
    assert (int(counts["airports"]), int(counts["liveries"])) == (3, 1), counts
