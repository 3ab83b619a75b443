import pickle
import threading

import numpy as np
import pytest

import ruximageeditor as rux
from conftest import gradient, run

EDITS = [
    dict(rotate="cw", brightness=0.3, look="March"),
    dict(flip=["h", "v"], crop=(0.1, 0.2, 0.6, 0.5), saturation=1.4, contrast=1.2),
    dict(focus_blur=(0.4, 0.6, 0.8), look="Nocturne"),
    dict(circle_blur=(0, 0), rotate=["ccw", "ccw"]),
]


def flags(edits):
    words = []
    for key, value in edits.items():
        for item in value if isinstance(value, list) else [value]:
            words += ["--" + key.replace("_", "-"),
                      ",".join(map(str, item)) if isinstance(item, tuple) else str(item)]
    return words


@pytest.mark.parametrize("edits", EDITS)
@pytest.mark.parametrize("resolution,scale", [("full", 2.0), ("original", 2.0), ("screen", 1.0), ("thumbnail", 3.0)])
def test_same_bytes_as_rux_render(tmp_path, photos, rux_render, edits, resolution, scale):
    for photo_path in photos:
        expected = tmp_path / ("cli-" + photo_path.name)
        cli = run(rux_render, photo_path, expected, "--resolution", resolution, "--scale", scale, *flags(edits))
        assert cli.returncode == 0, cli.stderr
        photo = rux.open(photo_path)
        image = rux.render(photo, rux.Recipe.from_edits(**edits), resolution=resolution, scale=scale)
        actual = tmp_path / ("py-" + photo_path.name)
        rux.save(image, actual, source=photo)
        assert actual.read_bytes() == expected.read_bytes()
        # From bytes in memory and a view of the same pixels, the same picture.
        again = rux.render(rux.open(photo_path.read_bytes()), rux.Recipe.from_edits(**edits), resolution, scale)
        assert np.array_equal(np.asarray(again), np.asarray(image))


def test_recipe_files_and_json_round_trip(tmp_path, photos, rux_render):
    photo_path = photos[0]
    recipe_path = tmp_path / "recipe.json"
    out = tmp_path / "cli.jpg"
    cli = run(rux_render, photo_path, out, *flags(EDITS[1]), "--look", "Opera", "--save-recipe", recipe_path)
    assert cli.returncode == 0, cli.stderr
    loaded = rux.Recipe.load(recipe_path)
    assert loaded.to_json() == recipe_path.read_text()
    assert rux.Recipe.from_json(loaded.to_json()).to_json() == loaded.to_json()
    photo = rux.open(photo_path)
    rux.save(rux.render(photo, loaded), tmp_path / "py.jpg", source=photo)
    assert (tmp_path / "py.jpg").read_bytes() == out.read_bytes()
    # Edits given as flags turn into the same recipe once placed on the photo.
    placed = rux.Recipe.from_edits(**EDITS[1], look="Opera").to_json(photo=photo)
    assert placed == recipe_path.read_text()


def test_recipes_pickle(photos):
    photo = rux.open(photos[0])
    for recipe in [rux.Recipe.from_edits(**e) for e in EDITS] + [rux.Recipe.from_json(
            rux.Recipe.from_edits(**EDITS[0]).to_json())]:
        copy = pickle.loads(pickle.dumps(recipe))
        assert np.array_equal(np.asarray(rux.render(photo, copy)), np.asarray(rux.render(photo, recipe)))


def test_the_view_shares_the_images_memory_and_keeps_it_alive():
    image = rux.render(rux.from_array(gradient(64, 48)), rux.Recipe.from_edits(brightness=0.2), "original", 1.0)
    first, second = np.asarray(image), np.asarray(image)
    assert first.shape == (48, 64, 4) and first.dtype == np.uint8
    assert np.shares_memory(first, second)
    assert not first.flags.writeable
    with pytest.raises(ValueError):
        first[0, 0, 0] = 1
    kept = first.copy()
    del image, second
    assert np.array_equal(first, kept)


def test_from_array_takes_rgb_and_rgba():
    rgb = gradient(30, 20)
    rgba = np.concatenate([rgb, np.full((20, 30, 1), 255, np.uint8)], axis=2)
    recipe = rux.Recipe.from_edits()
    a = np.asarray(rux.render(rux.from_array(rgb), recipe, "original"))
    b = np.asarray(rux.render(rux.from_array(rgba), recipe, "original"))
    assert np.array_equal(a, b)
    assert np.array_equal(a[:, :, :3], rgb)
    # Not C-contiguous: copied in as it reads.
    assert np.array_equal(np.asarray(rux.render(rux.from_array(rgb[:, ::-1]), recipe, "original"))[:, :, :3],
                          rgb[:, ::-1])
    for bad in (np.zeros((4, 4), np.uint8), np.zeros((4, 4, 2), np.uint8), np.zeros((4, 4, 3), np.float32),
                np.zeros((0, 4, 3), np.uint8)):
        with pytest.raises(rux.Error):
            rux.from_array(bad)


def test_bad_input_raises_the_editors_sentence(tmp_path):
    cases = [
        (lambda: rux.open(tmp_path / "missing.jpg"), "cannot read the image " + str(tmp_path / "missing.jpg")),
        (lambda: rux.open(b"not a photo"), "cannot read the image"),
        (lambda: rux.Recipe.from_edits(look="Nope"), "unknown look 'Nope' (see --list-looks)"),
        (lambda: rux.Recipe.from_edits(rotate="up"), "--rotate takes cw or ccw"),
        (lambda: rux.Recipe.from_edits(brightness="x"), "--brightness takes a number"),
        (lambda: rux.Recipe.from_edits(quality=90), "--quality is not an edit"),
        (lambda: rux.Recipe.from_json("{"), None),
        (lambda: rux.Recipe.load(tmp_path / "none.json"), "cannot read the recipe " + str(tmp_path / "none.json")),
        (lambda: rux.render(rux.from_array(gradient(8, 8)), rux.Recipe.from_edits(), "huge"),
         "--resolution takes full, original, screen or thumbnail"),
        (lambda: rux.set_threads(-1), None),
    ]
    for call, sentence in cases:
        with pytest.raises(rux.Error) as raised:
            call()
        assert isinstance(raised.value, Exception)
        if sentence:
            assert str(raised.value) == sentence
    image = rux.render(rux.from_array(gradient(8, 8)), rux.Recipe.from_edits(), "original")
    with pytest.raises(rux.Error, match="only .png, .jpg, .jpeg and .webp"):
        rux.save(image, tmp_path / "x.gif")
    with pytest.raises(rux.Error, match="cannot write"):
        rux.save(image, tmp_path / "no" / "such" / "x.png")


def test_other_threads_run_while_a_render_runs():
    photo = rux.from_array(gradient(1600, 1200))
    recipe = rux.Recipe.from_edits(circle_blur=(0, 0), look="March")
    ticks = []
    stop = threading.Event()

    def tick():
        while not stop.is_set():
            ticks.append(None)

    ticker = threading.Thread(target=tick)
    ticker.start()
    while not ticks:
        pass
    before = len(ticks)
    rux.render(photo, recipe, "original")
    during = len(ticks) - before
    stop.set()
    ticker.join()
    assert during > 0


def test_renders_on_several_python_threads_at_once(photos):
    rux.set_threads(1)
    try:
        photo = rux.open(photos[0])
        recipes = [rux.Recipe.from_edits(**e) for e in EDITS]
        alone = [np.asarray(rux.render(photo, r)).copy() for r in recipes]
        results = [None] * len(recipes)
        barrier = threading.Barrier(len(recipes))

        def work(i):
            barrier.wait()
            results[i] = np.asarray(rux.render(photo, recipes[i]))

        threads = [threading.Thread(target=work, args=(i,)) for i in range(len(recipes))]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        for expected, actual in zip(alone, results):
            assert np.array_equal(expected, actual)
    finally:
        rux.set_threads(0)


def test_looks_are_named_as_look_takes_them():
    names = rux.looks()
    assert names[0] == "Original" and len(names) == 15
    photo = rux.from_array(gradient(16, 16))
    for name in names:
        rux.render(photo, rux.Recipe.from_edits(look=name), "original")
