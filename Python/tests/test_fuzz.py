"""Random bytes and random recipes through the module: each call answers or raises Error, and the
interpreter survives."""

import json
import random

import numpy as np

import ruximageeditor as rux
from conftest import gradient

SEED = 2026
ROUNDS = 150


def random_value(rng):
    return rng.choice([
        rng.uniform(-5, 5), rng.choice([0, 1, -1, 1e308, -1e308, 1e-300]), float("nan"), float("inf"),
        rng.randint(-3, 3), "cw", "h", "", "Original", "x" * rng.randint(0, 40),
        tuple(rng.uniform(-2, 2) for _ in range(rng.randint(0, 5))), [rng.choice(["cw", "ccw", "h", "v", "?"])],
        None, True,
    ])


def test_random_bytes_open_or_raise():
    rng = random.Random(SEED)
    for _ in range(ROUNDS):
        kind = rng.randrange(3)
        if kind == 0:
            data = bytes(rng.getrandbits(8) for _ in range(rng.randint(0, 2048)))
        elif kind == 1:
            data = b"\x89PNG\r\n\x1a\n" + bytes(rng.getrandbits(8) for _ in range(rng.randint(0, 512)))
        else:
            data = b"\xff\xd8\xff" + bytes(rng.getrandbits(8) for _ in range(rng.randint(0, 512)))
        try:
            photo = rux.open(data)
        except rux.Error:
            continue
        assert photo.width > 0 and photo.height > 0


def test_random_recipes_render_or_raise():
    rng = random.Random(SEED)
    photo = rux.from_array(gradient(48, 32))
    keys = ["rotate", "flip", "crop", "brightness", "saturation", "contrast", "look", "focus_blur", "circle_blur",
            "look_file", "nonsense"]
    classes = ["RUXRotateTransformation", "RUXCropTransformation", "RUXBrightnessTransformation",
               "RUXFilterVivid", "RUXBlurTransformation", "RUXBeautifulBlurTransformation", "RUXNope"]
    for _ in range(ROUNDS):
        try:
            if rng.random() < 0.5:
                edits = {rng.choice(keys): random_value(rng) for _ in range(rng.randint(0, 4))}
                recipe = rux.Recipe.from_edits(**edits)
            else:
                entries = [{"class": rng.choice(classes),
                            rng.choice(["value", "rect", "point", "scale", "matrix", "x"]): random_value(rng)}
                           for _ in range(rng.randint(0, 3))]
                document = {"format": "rux-edit-recipe", "version": rng.choice([1, 1, 2]), "transformations": entries}
                text = json.dumps(document, allow_nan=True)
                if rng.random() < 0.2:
                    cut = rng.randint(0, len(text))
                    text = text[:cut]
                recipe = rux.Recipe.from_json(text)
            image = rux.render(photo, recipe, rng.choice(["full", "original", "screen", "thumbnail"]),
                               rng.choice([1.0, 2.0]))
            assert np.asarray(image).ndim == 3
        except rux.Error:
            pass
        except TypeError:
            # A keyword of the wrong Python type is refused by the binding itself.
            pass
