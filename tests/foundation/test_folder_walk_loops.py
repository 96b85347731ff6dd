"""Folder links that lead back up: the add-on scan's and the livery scan's walks enter each
folder once and end, natively and under Wine (where a link looks like a plain folder)."""
from standins import programs


def test_two_loop_links_end_both_walks_with_every_file_once(tmp_path):
    tree = tmp_path / "tree"
    (tree / "a" / "b").mkdir(parents=True)
    (tree / "a" / "b" / "EDDF.bgl").write_bytes(b"")
    (tree / "a" / "aircraft.cfg").write_text("")
    (tree / "a" / "b" / "up").symlink_to("../..")
    (tree / "a" / "again").symlink_to("../a")
    result = programs.run("files_probe", "walk", programs.host_path(tree), timeout=60)
    assert result.returncode == 0, result.stderr
    assert result.stdout.decode().split() == ["airports=2", "liveries=1"]
