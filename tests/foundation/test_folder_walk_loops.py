"""Folder links that lead back up: the add-on scan's and the livery scan's walks enter each
folder once and end, natively and under Wine (where a link looks like a plain folder); on
a volume whose folder ids are not to be had in full they still walk every folder."""
import pytest

from standins import programs


@pytest.mark.parametrize("faults, exact", [
    (None, True),
    # The resolved path is asked for and cannot be had: the file index still tells folders
    # apart (Windows only; natively the inode is always trusted).
    ("index-not-unique,no-resolved-path", True),
    # Neither an index nor a resolved path: every folder is walked, a loop through the
    # links ends at the depth bound, so files are met more than once.
    ("index-zero,no-resolved-path", False),
])
def test_two_loop_links_end_both_walks_with_every_file_met(tmp_path, faults, exact):
    tree = tmp_path / "tree"
    (tree / "a" / "b").mkdir(parents=True)
    (tree / "a" / "b" / "EDDF.bgl").write_bytes(b"")
    (tree / "a" / "aircraft.cfg").write_text("")
    (tree / "a" / "b" / "up").symlink_to("../..")
    (tree / "a" / "again").symlink_to("../a")
    options = ["--folder-id-faults", faults] if faults else []
    result = programs.run("files_probe", "walk", programs.host_path(tree), *options, timeout=60)
    assert result.returncode == 0, result.stderr
    counts = dict(line.split("=") for line in result.stdout.decode().split())
    airports, liveries = int(counts["airports"]), int(counts["liveries"])
    if exact:
        assert (airports, liveries) == (2, 1)
    else:
        assert airports >= 2 and liveries >= 1, counts
