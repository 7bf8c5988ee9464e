"""SDK failures become exceptions with the SDK's code and its meaning."""
import pytest

import vantix
from vantix import errors


def test_refusals_raise_the_class_of_their_code(cam, tmp_path):
    with pytest.raises(vantix.ArgumentError) as raised:
        cam.gain = 10_000
    assert raised.value.code == 9
    assert raised.value.function == "Vantix_SetGlobalGain"
    assert "An argument is out of range or NULL" in str(raised.value)

    with pytest.raises(vantix.ArgumentError):
        cam.color_mode = 12
    with pytest.raises(vantix.CaptureWindowError) as raised:
        cam.roi = (0, 0, 5000, 480)
    assert raised.value.code == 7
    assert cam.roi == (0, 0, 320, 240)  # the refused window is not kept
    with pytest.raises(vantix.ArgumentError):
        cam.read_register(300)
    with pytest.raises(vantix.ArgumentError):
        cam.write_rom(0x1000, 1)
    with pytest.raises(vantix.NotSupportedError) as raised:
        _ = cam.black_level
    assert raised.value.code == 11
    with pytest.raises(vantix.FileError) as raised:
        cam.snap()
        cam.save(tmp_path / "missing" / "picture.png")
    assert raised.value.code == 12


def test_a_fresh_camera_has_nothing_to_save(tmp_path):
    with vantix.Camera(1) as camera:
        with pytest.raises(vantix.WrongStateError) as raised:
            camera.save(tmp_path / "nothing.bmp")
        assert raised.value.code == 1


def test_a_camera_that_is_not_attached():
    with pytest.raises(vantix.CameraNotFoundError) as raised:
        vantix.Camera(5)
    assert raised.value.code == 2
    assert raised.value.explanation == "The camera is not attached or cannot be opened"


def test_only_model_3040_is_accepted():
    with pytest.raises(vantix.NotSupportedError, match="0x3040"):
        vantix.Camera(0, model=0x3100)
    with vantix.Camera(0, model=0x3040) as camera:
        assert camera.model == vantix.MODEL_ID


def test_a_posted_only_failure_still_raises(cam):
    # Vantix_Trigger posts code 11 without recording it in the history.
    with pytest.raises(vantix.NotSupportedError):
        cam._call("Vantix_Trigger")


def test_every_code_has_its_class_and_text():
    for code, text in errors.EXPLANATIONS.items():
        error = errors.error_for("Vantix_X", [code])
        assert error.code == code and error.explanation == text
        assert type(error) is errors.CLASSES[code]
    cause_then_consequence = errors.error_for("Vantix_CallBackPreview", [2, 8])
    assert isinstance(cause_then_consequence, vantix.CameraNotFoundError)
    assert cause_then_consequence.codes == (2, 8)
    assert "then 8 (A frame could not be taken)" in str(cause_then_consequence)
    assert errors.error_for("Vantix_X", []).code is None


def test_a_closed_camera_refuses_calls():
    camera = vantix.Camera(0)
    camera.close()
    camera.close()
    assert camera.closed
    with pytest.raises(vantix.WrongStateError, match="closed"):
        _ = camera.gain
    with pytest.raises(vantix.WrongStateError):
        camera.stream(1)
