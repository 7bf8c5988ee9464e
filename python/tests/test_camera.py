"""Listing, settings as properties, pictures, files, registers and the
settings store, on virtual cameras."""
import ctypes
import resource
import signal

import numpy as np
import pytest

import vantix


def test_both_virtual_cameras_are_listed():
    cameras = vantix.list_cameras()
    assert [c.index for c in cameras] == [0, 1]
    assert [c.name for c in cameras] == ["VantixQ720LX-USB3-K9_01", "VantixQ720LX-USB3-K9_02"]
    assert all(c.model == 0x3040 and c.vendor_id == 0x04B4 and c.is_virtual for c in cameras)
    assert cameras[0].path != cameras[1].path
    with vantix.Camera(1) as camera:
        assert (camera.name, camera.device_path, camera.is_virtual) == (cameras[1].name, cameras[1].path, True)
        assert camera.settings_key == "Camera_01"


def test_settings_read_back_what_was_set(cam):
    low, high = cam.exposure_range_s
    assert 0 < low < high
    cam.exposure_s = 0.0123
    assert cam.exposure_s == pytest.approx(0.0123, abs=1e-4)
    gain_low, gain_high = cam.gain_range
    cam.gain = gain_high
    assert cam.gain == gain_high
    cam.color_gains = (10, 20, 30, 40)
    assert cam.color_gains == (10, 20, 30, 40)
    cam.white_balance = (150, 100, 120)
    assert cam.white_balance == (150, 100, 120)
    cam.roi = (16, 8, 640, 480)
    assert cam.roi == (16, 8, 640, 480)
    assert cam.sensor_size == (3856, 2764)
    cam.mirror = (True, False)
    assert cam.mirror == (True, False)
    cam.mirror = (False, True)
    assert cam.mirror == (False, True)
    cam.wait_time_ms = 3
    assert cam.wait_time_ms == 3
    for name, value in [("brightness", -20), ("contrast", 15), ("hue", 30), ("saturation", 40),
                        ("sharpness", 5), ("gamma", 120), ("gray_mode", 1)]:
        setattr(cam, name, value)
        assert getattr(cam, name) == value, name
    cam.set_filter(vantix.camera.FILTER_CONTRAST, -7)
    assert cam.get_filter(vantix.camera.FILTER_CONTRAST) == -7
    for bits in vantix.BITS_PER_PIXEL:
        cam.color_mode = bits
        assert cam.color_mode == bits
    cam.subsample = 1
    assert cam.subsample == 1
    assert cam.image_shape == (240, 320, 3)
    with pytest.raises(ValueError):
        cam.color_gains = (1, 2, 3)


def expected_image(raw: bytes, width: int, height: int, bits: int) -> np.ndarray:
    """The picture in a buffer of the SDK's layout, worked out here from the
    layout rules (rows padded to 4 bytes, B, G, R samples, a fourth sample
    unused in 32 and 64 bits)."""
    sample = np.uint16 if bits in (16, 48, 64) else np.uint8
    per_pixel = {8: 1, 16: 1, 24: 3, 32: 4, 48: 3, 64: 4}[bits]
    stride = (width * bits // 8 + 3) // 4 * 4
    rows = np.frombuffer(raw, dtype=np.uint8).reshape(height, stride)[:, : width * bits // 8]
    pixels = rows.copy().view(sample).reshape(height, width, per_pixel)
    return pixels[:, :, 0] if per_pixel == 1 else pixels[:, :, :3]


@pytest.mark.parametrize("bits", [8, 16, 24, 32, 48, 64])
def test_snap_is_what_the_sdk_writes(cam, bits):
    # Quarter size of 640 x 480: 160 x 120 pixels.
    cam.roi = (0, 0, 640, 480)
    cam.subsample = 2
    cam.color_mode = bits
    picture = cam.snap()
    assert picture.dtype == (np.uint16 if bits in (16, 48, 64) else np.uint8)
    assert picture.shape == ((120, 160) if bits in (8, 16) else (120, 160, 3))
    assert picture.any()
    # The same picture as the SDK copies it (the current image), and a
    # second snapshot of the still scene.
    stride = (160 * bits // 8 + 3) // 4 * 4
    raw = ctypes.create_string_buffer(stride * 120)
    assert cam.library.Vantix_GetImage(cam.handle, raw, len(raw), 1) == 1
    np.testing.assert_array_equal(picture, expected_image(raw.raw, 160, 120, bits))
    assert cam.library.Vantix_SnapShot(cam.handle, raw, len(raw), 1) == 1
    np.testing.assert_array_equal(picture, expected_image(raw.raw, 160, 120, bits))


@pytest.mark.parametrize("bits", [8, 16, 24, 32, 48, 64])
def test_padded_rows_are_stepped_over(bits):
    # This camera's windows never need row padding (widths are multiples of
    # 16); other widths do: 81 pixels of 8 bits take 84 bytes per row.
    layout = vantix._images.layout_for(81, 5, bits)
    buffer = layout.allocate()
    buffer[:] = np.random.default_rng(bits).integers(0, 256, buffer.size, dtype=np.uint8)
    np.testing.assert_array_equal(layout.view(buffer), expected_image(buffer.tobytes(), 81, 5, bits))


def test_to_rgb_reverses_the_channels(cam):
    picture = cam.snap()
    np.testing.assert_array_equal(vantix.to_rgb(picture)[..., 0], picture[..., 2])
    with pytest.raises(ValueError):
        vantix.to_rgb(picture[..., 0])


@pytest.mark.parametrize("name, magic", [("p.bmp", b"BM"), ("p.png", b"\x89PNG"), ("p.jpg", b"\xff\xd8"),
                                         ("p.tif", b"II*\x00"), ("p.raw", b"")])
def test_save_writes_the_type_of_the_extension(cam, tmp_path, name, magic):
    cam.snap()
    cam.save(tmp_path / name)
    data = (tmp_path / name).read_bytes()
    assert data.startswith(magic)
    if name == "p.raw":
        assert len(data) >= 320 * 240 * 3


def test_save_refuses_unknown_types(cam, tmp_path):
    cam.snap()
    with pytest.raises(ValueError, match="file type"):
        cam.save(tmp_path / "p.gif")
    with pytest.raises(ValueError, match="quality"):
        cam.save(tmp_path / "p.jpg", quality="best")


def test_record_writes_a_finished_avi(cam, tmp_path):
    frames = cam.record(tmp_path / "clip.avi", 0.5)
    assert frames > 0
    data = (tmp_path / "clip.avi").read_bytes()
    assert data[:4] == b"RIFF" and data[8:12] == b"AVI "
    assert len(data) > frames * 320 * 240 * 3
    with pytest.raises(ValueError):
        cam.record(tmp_path / "none.avi", 0)


def test_record_reports_a_write_failure_during_the_recording(cam, tmp_path):
    # A file-size limit lets the first frames in and fails the later writes
    # with EFBIG; the recorder only posts that failure (code 12).
    soft, hard = resource.getrlimit(resource.RLIMIT_FSIZE)
    previous = signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (1_000_000, hard))
    try:
        with pytest.raises(vantix.FileError) as raised:
            cam.record(tmp_path / "cut.avi", 1.0)
    finally:
        resource.setrlimit(resource.RLIMIT_FSIZE, (soft, hard))
        signal.signal(signal.SIGXFSZ, previous)
    assert raised.value.code == 12
    assert "during the recording" in str(raised.value)
    # The session goes on working.
    assert cam.record(tmp_path / "whole.avi", 0.3) > 0


def test_registers_fpga_rom_and_io_port(cam):
    assert cam.read_register(0) == 0x2C01  # the sensor's chip version
    lines = cam.read_register(0x0202, extended=True)
    cam.write_register(0x0202, lines + 3, extended=True)
    assert cam.read_register(0x0202, extended=True) == lines + 3
    cam.write_register(0x0202, lines, extended=True)

    port = cam.read_fpga(7)
    cam.write_fpga(7, port ^ 1)
    assert cam.read_fpga(7) == port ^ 1
    assert cam.io_port == port ^ 1
    cam.io_port = port
    assert cam.read_fpga(7) == port
    with pytest.raises(ValueError):
        cam.io_port = 256

    original = cam.read_rom(0xFF0)
    cam.write_rom(0xFF0, original ^ 0xA5)
    assert cam.read_rom(0xFF0) == original ^ 0xA5
    cam.write_rom(0xFF0, original)
    with pytest.raises(vantix.NotSupportedError):
        _ = cam.temperature_c  # no temperature sensor on this model


def test_settings_export_and_import(tmp_path):
    with vantix.Camera(1) as camera:
        camera.gain = 33
    exported = tmp_path / "camera1.reg"
    vantix.settings.export_to(exported, "Camera_01")
    assert '"Global"=dword:00000021' in exported.read_text()
    assert "Camera_01" in vantix.settings.text("Camera_01")
    assert vantix.settings.path().endswith(".reg")

    with vantix.Camera(1) as camera:
        camera.gain = 44
    vantix.settings.import_from(exported)
    with vantix.Camera(1) as camera:
        assert camera.gain == 33

    damaged = tmp_path / "damaged.reg"
    damaged.write_text("not a settings file")
    with pytest.raises(vantix.SettingsError) as raised:
        vantix.settings.import_from(damaged)
    assert raised.value.code == -4
    with pytest.raises(vantix.SettingsError) as raised:
        vantix.settings.text("Camera_17")
    assert raised.value.code == -2
    assert vantix.settings.delete_key("Camera_01") is True
    assert vantix.settings.delete_key("Camera_01") is False
