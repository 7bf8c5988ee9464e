"""The ctypes declarations against the public headers and the library."""
import re
from pathlib import Path

import pytest

import vantix
from vantix import _declarations

HEADERS = Path(__file__).resolve().parents[2] / "include" / "vantix"


def header_prototypes():
    prototypes = {}
    for name in ("exports.h", "linux_ext.h"):
        text = re.sub(r"/\*.*?\*/", "", (HEADERS / name).read_text(), flags=re.S)
        for result, function, arguments in re.findall(r"VANTIX_API\s+([\w\s\*]+?)\s*(\w+)\s*\(([^)]*)\)\s*;", text):
            prototypes[function] = f"{' '.join(result.split())} {function}({' '.join(arguments.split())});"
    return prototypes


@pytest.mark.skipif(not HEADERS.is_dir(), reason="the headers are not beside this source tree")
def test_declarations_are_the_headers_prototypes():
    declared = _declarations.parse()
    expected = {name: _declarations.parse(line)[name] for name, line in header_prototypes().items()}
    assert sorted(declared) == sorted(expected)
    for name, types in expected.items():
        assert declared[name] == types, name
    assert sum(1 for name in declared if name.startswith("Vantix_")) == 147


def test_every_declared_function_has_its_types():
    library = vantix.load_library()
    for name, (result, arguments) in _declarations.parse().items():
        function = getattr(library, name)
        assert len(function.argtypes) == len(arguments), name
    assert library.Vantix_GetExposureTimeEx.restype is _declarations.ctypes.c_double
    assert vantix.library_version() == 0x01F50520


def test_records_have_the_c_layout():
    assert _declarations.ctypes.sizeof(_declarations.FrameInfoRecord) == 32
    assert _declarations.ctypes.sizeof(_declarations.CameraInfo) == 56
    assert _declarations.DeviceDetails.path.offset == 12


def test_a_missing_library_is_named_in_the_error(tmp_path):
    import os
    import subprocess
    import sys
    program = ("import vantix\n"
               "try:\n    vantix.list_cameras()\n"
               "except vantix.LibraryNotFoundError as e:\n    print(e)\n")
    env = dict(os.environ, VANTIX_LIBRARY=str(tmp_path / "libnothing.so"),
               PYTHONPATH=str(Path(vantix.__file__).resolve().parent.parent))
    out = subprocess.run([sys.executable, "-c", program], env=env, capture_output=True, text=True, timeout=60).stdout
    assert "VANTIX_LIBRARY" in out and "libnothing.so" in out
    assert vantix._library.candidates("/opt/lib.so") == ["/opt/lib.so"]
