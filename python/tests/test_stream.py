"""Streaming: frame counts and order, arrays of their own, two cameras, a
camera lost mid-stream, time-outs."""
import itertools

import numpy as np
import pytest

import vantix


def test_count_frames_in_order_with_their_information(cam):
    frames = list(cam.stream(count=12, timeout_s=5))
    assert len(frames) == 12
    counters = [f.counter for f in frames]
    assert counters[0] >= 1
    assert all(b > a for a, b in zip(counters, counters[1:]))
    assert [f.skipped for f in frames[1:]] == [b - a - 1 for a, b in zip(counters, counters[1:])]
    for frame in frames:
        assert (frame.width, frame.height, frame.bits_per_pixel) == (320, 240, 24)
        assert frame.array.shape == (240, 320, 3) and frame.array.dtype == np.uint8
        assert frame.lost == 0 and frame.rate_fps >= 0
    assert all(b.timestamp >= a.timestamp for a, b in zip(frames, frames[1:]))
    # The stream stopped with the loop: a snapshot can be taken again.
    assert cam.snap().shape == (240, 320, 3)
    assert list(cam.stream(count=0)) == []


def test_arrays_are_never_written_after_they_are_handed_out(cam):
    cam.color_mode = 8
    cam.gain = 20
    kept, copies = [], []
    stream = cam.stream(timeout_s=5)
    for frame in itertools.islice(stream, 4):
        kept.append(frame)
        copies.append(frame.array.copy())
    # A slice alone also keeps its frame's memory from being reused.
    rows = next(stream).array[100:110]
    rows_copy = rows.copy()
    # Brighter frames from now on: an array that shared memory with the
    # SDK (or with a later frame) would change under the kept ones.
    cam.gain = 120
    later = [f.array.copy() for f in itertools.islice(stream, 12)]
    stream.close()
    assert later[-1].mean() > copies[0].mean()
    for frame, copy in zip(kept, copies):
        np.testing.assert_array_equal(frame.array, copy)
    np.testing.assert_array_equal(rows, rows_copy)
    arrays = [f.array for f in kept]
    for a, b in itertools.combinations(arrays, 2):
        assert not np.shares_memory(a, b)


def test_dropped_frames_free_their_buffers_for_reuse(cam):
    # Frames the consumer let go are recycled; held ones never are.
    addresses = [f.array.ctypes.data for f in cam.stream(count=8)]
    assert len(set(addresses)) < 8
    held = list(cam.stream(count=6))
    assert len({f.array.ctypes.data for f in held}) == 6


def test_frames_are_those_the_sdk_converts(cam):
    cam.color_mode = 48
    frame = next(iter(cam.stream(count=1)))
    assert frame.array.dtype == np.uint16 and frame.array.shape == (240, 320, 3)
    np.testing.assert_array_equal(frame.array, cam.snap())  # a still scene


def test_two_cameras_stream_at_once(cam, cam1):
    cam1.roi = (0, 0, 640, 480)
    cam1.color_mode = 8
    pairs = list(zip(cam.stream(count=6), cam1.stream(count=6)))
    assert len(pairs) == 6
    for first, second in pairs:
        assert first.array.shape == (240, 320, 3)
        assert second.array.shape == (480, 640)
    assert all(b[1].counter > a[1].counter for a, b in zip(pairs, pairs[1:]))


def test_a_camera_lost_mid_stream_raises(cam, cam1):
    seen = 0
    try:
        with pytest.raises(vantix.CameraLostError) as raised:
            for _ in cam.stream(timeout_s=5):
                seen += 1
                if seen == 3:
                    vantix.virtual.set_plugged(cam.device_path, False)
        assert raised.value.code == 13
        assert "The camera stopped delivering frames" in str(raised.value)
        # The other camera is not affected.
        assert len(list(cam1.stream(count=3))) == 3
        with pytest.raises(vantix.CameraNotFoundError) as raised:
            next(iter(cam.stream(count=1)))
        assert raised.value.codes[0] == 2
    finally:
        vantix.virtual.set_plugged(cam.device_path, True)
    assert seen >= 3
    with pytest.raises(vantix.VantixError, match="no virtual camera"):
        vantix.virtual.set_plugged("no such camera", False)


def test_no_frame_in_time_raises_a_timeout(cam):
    low, high = cam.exposure_range_s
    cam.exposure_s = high  # 2 s per frame
    with pytest.raises(vantix.FrameTimeoutError) as raised:
        list(cam.stream(count=3, timeout_s=0.3))
    assert raised.value.code == 8 and isinstance(raised.value, TimeoutError)
    cam.exposure_s = 0.01


def test_one_stream_at_a_time(cam):
    stream = cam.stream(count=5)
    next(stream)
    with pytest.raises(vantix.WrongStateError):
        cam.snap()
    with pytest.raises(vantix.WrongStateError, match="still open"):
        cam.stream(count=1)
    stream.close()
    cam.snap()
    assert len(list(cam.stream(count=2))) == 2


def test_closing_the_camera_ends_its_stream(cam):
    stream = cam.stream()
    next(stream)
    cam.close()
    with pytest.raises(vantix.WrongStateError, match="closed"):
        next(stream)
