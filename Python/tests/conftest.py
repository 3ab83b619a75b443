import os
import shutil
import subprocess

import numpy as np
import pytest

import ruximageeditor as rux


def gradient(width, height, seed=0):
    """An opaque photo-like array: gradients and a little noise, so that edits change every pixel."""
    rng = np.random.default_rng(seed)
    y, x = np.mgrid[0:height, 0:width]
    a = np.stack([x * 255 // max(width - 1, 1), y * 255 // max(height - 1, 1), (x + y) % 256], axis=2)
    a = a + rng.integers(0, 16, size=a.shape)
    return np.clip(a, 0, 255).astype(np.uint8)


@pytest.fixture(scope="session")
def rux_render():
    """The rux-render installed beside the module (RUX_RENDER), or the one on PATH."""
    path = os.environ.get("RUX_RENDER") or shutil.which("rux-render")
    if not path:
        pytest.fail("set RUX_RENDER to the rux-render installed with the module")
    return path


@pytest.fixture(scope="session")
def photos(tmp_path_factory):
    """A PNG and a JPEG written by the module itself."""
    folder = tmp_path_factory.mktemp("photos")
    paths = []
    for name, (w, h) in (("wide.png", (240, 160)), ("tall.jpg", (120, 200))):
        path = folder / name
        rux.save(rux.render(rux.from_array(gradient(w, h)), rux.Recipe.from_edits(), "original"), path)
        paths.append(path)
    return paths


def run(*args):
    return subprocess.run([str(a) for a in args], capture_output=True, text=True)
