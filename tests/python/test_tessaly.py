# The Python module against tessaly-snake, over NumPy views, callbacks,
# bad input and threads.  Run by CTest with the build tree's module on
# PYTHONPATH and TESSALY_SNAKE_EXE naming the program.
import os
import signal
import subprocess
import threading
import time

import numpy as np
import pytest

import tessaly

START = [[170, 70], [230, 160], [120, 170]]


def cli_snake(image_path, args):
    exe = os.environ["TESSALY_SNAKE_EXE"]
    out = subprocess.run([exe, "--points", " ".join(f"{x},{y}" for x, y in START), *args, str(image_path)],
                         check=True, capture_output=True, text=True, timeout=60).stdout
    return np.array([[float(v) for v in line.split(",")] for line in out.splitlines()[1:]])


@pytest.fixture(scope="module")
def start_image(tmp_path_factory):
    path = tmp_path_factory.mktemp("img") / "start.png"
    subprocess.run([os.environ["TESSALY_SNAKE_EXE"], "--make-start-image", str(path)], check=True, timeout=60)
    return path


@pytest.mark.parametrize("cli_args, kwargs", [
    ([], {}),
    (["--weight", "70", "--smooth", "30", "--spacing", "4", "--max-segments", "40", "--passes", "3", "--steps", "7"],
     dict(weight=70, smooth=30, spacing=4.0, max_segments=40, passes=3, steps=7)),
    (["--smooth", "0", "--weight", "100"], dict(smooth=0, weight=100)),
    (["--pressure", "-40", "--weight", "30", "--smooth-px", "2.5"], dict(pressure=-40, weight=30, smooth_px=2.5)),
])
def test_bit_for_bit_with_tessaly_snake(start_image, tmp_path, cli_args, kwargs):
    grey = tessaly.load(start_image)
    # A colour image: the start image in three different planes.
    rgb = np.stack([grey, grey[::-1], 255 - grey.T], axis=2)
    colour = tmp_path / "colour.ppm"
    colour.write_bytes(b"P6 %d %d 255\n" % (rgb.shape[1], rgb.shape[0]) + rgb.tobytes())
    assert np.array_equal(tessaly.load(colour), rgb)
    for path, image in ((start_image, grey), (colour, rgb)):
        assert np.array_equal(tessaly.snake(image, START, **kwargs), cli_snake(path, cli_args))


def test_views_read_as_their_contiguous_copies(start_image):
    grey = tessaly.load(start_image)
    for image in (grey, np.stack([grey, grey.T, grey[::-1]], axis=2)):
        views = [np.asfortranarray(image), image[::2, ::-1], image[::-1, 1::3], image.T.copy().T,
                 image.transpose(1, 0, *range(2, image.ndim))[::-1]]
        if image.ndim == 3:
            views += [image[..., ::-1], np.moveaxis(np.ascontiguousarray(np.moveaxis(image, 2, 0)), 0, 2)]
        for v in views:
            v.flags.writeable = False
            c = np.ascontiguousarray(v)
            assert np.array_equal(tessaly.cost_image(v), tessaly.cost_image(c))
            assert np.array_equal(tessaly.snake(v, START, smooth=20), tessaly.snake(c, START, smooth=20))
        # Cost images in other layouts: Fortran order, and a record's field of 5-byte strides.
        cost = tessaly.cost_image(image, 40)
        record = np.zeros(cost.shape, dtype=[("a", "u1"), ("c", "f4")])
        record["c"] = cost
        for v in (cost, np.asfortranarray(cost), record["c"]):
            assert np.array_equal(tessaly.snake_on_cost(v, START, weight=60),
                                  tessaly.snake(image, START, smooth=40, weight=60))


def test_callback_sees_every_step_and_can_stop(start_image):
    image = tessaly.load(start_image)
    seen = []
    result = tessaly.snake(image, START, callback=lambda p, s, pts: seen.append((p, s, pts)))
    assert [(p, s) for p, s, _ in seen] == [(p, s) for p in range(10) for s in range(10)]
    assert not any(pts.flags.writeable for _, _, pts in seen)
    assert np.array_equal(seen[-1][2], result)
    for stop_after in (1, 37, 100):
        calls = []
        def stop(p, s, pts):
            calls.append(pts)
            return np.bool_(len(calls) < stop_after)
        assert np.array_equal(tessaly.snake(image, START, callback=stop), seen[stop_after - 1][2])
        assert len(calls) == stop_after

    def fail(p, s, pts):
        if s == 3:
            raise LookupError("from the callback")
    with pytest.raises(LookupError, match="from the callback"):
        tessaly.snake(image, START, callback=fail)


def test_ctrl_c_ends_a_long_run(start_image):
    image = tessaly.load(start_image)
    timer = threading.Timer(0.2, os.kill, (os.getpid(), signal.SIGINT))
    began = time.monotonic()
    timer.start()
    # A million steps would take minutes; the interrupt ends them.
    with pytest.raises(KeyboardInterrupt):
        tessaly.snake(image, START, passes=1, steps=1000000, max_segments=1000, spacing=1.0)
    timer.join()
    assert time.monotonic() - began < 30


def test_two_threads_run_two_images_at_once(start_image):
    images = [tessaly.load(start_image), np.ascontiguousarray(tessaly.load(start_image)[::-1])]
    alone = [tessaly.snake(im, START) for im in images]
    # Each run waits at its first step for the other's: they can only both
    # get there if neither holds the other up until it ends (a broken
    # barrier raises in the callback, and that run gives no result).
    meet = threading.Barrier(2, timeout=60)
    order, results = [], [None, None]

    def work(k):
        def seen(p, s, pts):
            order.append(k)
            if p == 0 and s == 0:
                meet.wait()
        results[k] = tessaly.snake(images[k], START, callback=seen)

    threads = [threading.Thread(target=work, args=(k,)) for k in (0, 1)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(120)
    assert all(np.array_equal(r, a) for r, a in zip(results, alone))
    assert sorted(order) == [0] * 100 + [1] * 100


def test_bad_input_raises(tmp_path):
    grey = np.zeros((20, 30), np.uint8)
    sixteen = tmp_path / "deep.pgm"
    sixteen.write_bytes(b"P5 2 2 65535\n" + bytes(8))
    text = tmp_path / "notes.txt"
    text.write_text("no picture here\n")
    pts = [[5, 5], [20, 5], [10, 15]]
    bad_calls = [
        (OSError, "missing.png", lambda: tessaly.load(tmp_path / "missing.png")),
        (OSError, "16-bit", lambda: tessaly.load(sixteen)),
        (OSError, "notes.txt", lambda: tessaly.load(text)),
        (OSError, "", lambda: tessaly.load(tmp_path)),
        (ValueError, "NUL", lambda: tessaly.load("a\0b")),
        (TypeError, "int", lambda: tessaly.load(3)),
        (TypeError, "float64", lambda: tessaly.cost_image(grey.astype(float))),
        (TypeError, "list", lambda: tessaly.cost_image([[1, 2], [3, 4]])),
        (TypeError, "", lambda: tessaly.cost_image(None)),
        (ValueError, "1 dimensions", lambda: tessaly.cost_image(np.zeros(5, np.uint8))),
        (ValueError, "4 dimensions", lambda: tessaly.cost_image(np.zeros((2, 2, 2, 2), np.uint8))),
        (ValueError, "no pixels", lambda: tessaly.cost_image(np.zeros((0, 5), np.uint8))),
        (ValueError, "no pixels", lambda: tessaly.cost_image(np.zeros((4, 5, 0), np.uint8))),
        (ValueError, "smooth", lambda: tessaly.cost_image(grey, 101)),
        (ValueError, "smooth_px", lambda: tessaly.cost_image(grey, smooth_px=-1)),
        (ValueError, "not both", lambda: tessaly.snake(grey, pts, smooth=3, smooth_px=1)),
        (TypeError, "", lambda: tessaly.cost_image(grey, 2.5)),
        (ValueError, "at least 3", lambda: tessaly.snake(grey, pts[:2])),
        (ValueError, "not finite", lambda: tessaly.snake(grey, pts + [[np.nan, 1]])),
        (ValueError, "not finite", lambda: tessaly.snake(grey, pts + [[1, np.inf]])),
        (ValueError, "(M, 2)", lambda: tessaly.snake(grey, [[1, 2, 3]] * 3)),
        (ValueError, "(M, 2)", lambda: tessaly.snake(grey, [1, 2, 3])),
        (TypeError, "str", lambda: tessaly.snake(grey, "abc")),
        (ValueError, "outside", lambda: tessaly.snake(grey, pts + [[1e6, 0]])),
        (ValueError, "weight", lambda: tessaly.snake(grey, pts, weight=-1)),
        (ValueError, "pressure", lambda: tessaly.snake(grey, pts, pressure=101)),
        (ValueError, "spacing", lambda: tessaly.snake(grey, pts, spacing=0)),
        (ValueError, "spacing", lambda: tessaly.snake(grey, pts, spacing=float("nan"))),
        (ValueError, "max_segments", lambda: tessaly.snake(grey, pts, max_segments=0)),
        (ValueError, "passes", lambda: tessaly.snake(grey, pts, passes=-1)),
        (ValueError, "steps in all", lambda: tessaly.snake(grey, pts, passes=1001, steps=1000)),
        (TypeError, "callback", lambda: tessaly.snake(grey, pts, callback=3)),
        (TypeError, "", lambda: tessaly.snake(grey, pts, callback=lambda: None)),
        (TypeError, "uint8", lambda: tessaly.snake_on_cost(grey, pts)),
        (ValueError, "3 dimensions", lambda: tessaly.snake_on_cost(np.zeros((4, 4, 1), np.float32), pts)),
        (ValueError, "not finite", lambda: tessaly.snake_on_cost(np.full((20, 30), np.nan, np.float32), pts)),
    ]
    for kind, words, call in bad_calls:
        with pytest.raises(kind) as raised:
            call()
        assert words in str(raised.value), (kind, words)


def test_edge_images_run_without_moving_wrongly():
    pts = [[0, 0], [3, 0], [0, 3]]
    for image in (np.zeros((1, 1), np.uint8), np.full((7, 1, 4), 9, np.uint8)):
        # A flat image has no edges: its cost is 0 and no point moves.
        assert not tessaly.cost_image(image).any()
        assert np.array_equal(tessaly.snake(image, pts, passes=1, spacing=100), np.array(pts[:1], float))
