# The README's Python example, run as a user runs it.
import pathlib
import runpy

EXAMPLE = pathlib.Path(__file__).parents[2] / "examples" / "record_and_plot.py"


def test_readme_example_records_and_reads_back(tmp_path, monkeypatch, capsys):
    monkeypatch.chdir(tmp_path)
    runpy.run_path(str(EXAMPLE), run_name="__main__")
    assert (tmp_path / "rec.bin").stat().st_size == 5000 * 12 * 612
    assert "ADC codes, 5000 packets, 0 abandoned, 60000 blocks, 0 rejected" in capsys.readouterr().out
