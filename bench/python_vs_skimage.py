#!/usr/bin/python3
"""tessaly.snake against scikit-image's active_contour on scikit-image's own
photographs, from the same start circles in the same run.

For each image it prints the wall time of each (median of 5), each result's
mean distance in pixels to a reference outline (the boundary of a thresholded
object), and the number of points.  scikit-image runs as its gallery example
uses it: on the Gaussian-smoothed image (sigma 3) with alpha 0.015, beta 10,
gamma 0.001; its time includes the smoothing, as tessaly's includes the cost
image.  tessaly runs with the weight slider at 90 and the smoothing slider at
0: the coins lie close together, and a smoother cost image blurs one coin's
edge into the next.

    PYTHONPATH=build/python bench/python_vs_skimage.py [--figure out.png]
"""
import argparse
import statistics
import time

import numpy as np
from scipy import ndimage
from scipy.spatial import cKDTree
from skimage import data, filters, measure, segmentation

import tessaly


def coin(name, near):
    """The coin that holds the pixel `near` (row, col): its thresholded
    region with the holes of its relief filled."""
    image = data.coins()
    labels = measure.label(image > filters.threshold_otsu(image))
    return name, image, ndimage.binary_fill_holes(labels == labels[near])


def horse():
    silhouette = data.horse()  # black horse on white
    return "horse", (255 * silhouette).astype(np.uint8), ~silhouette


def circle_around(mask, scale, n=400):
    """n points (row, col) on a circle about mask's centre, scale times its
    equivalent radius."""
    props = measure.regionprops(mask.astype(np.uint8))[0]
    r0, c0 = props.centroid
    radius = scale * props.equivalent_diameter / 2
    s = np.linspace(0, 2 * np.pi, n, endpoint=False)
    return np.column_stack([r0 + radius * np.sin(s), c0 + radius * np.cos(s)])


def mean_distance(points_rc, outline):
    return float(cKDTree(outline).query(points_rc)[0].mean())


def median_time(run, repeats=5):
    times, result = [], None
    for _ in range(repeats):
        began = time.perf_counter()
        result = run()
        times.append(time.perf_counter() - began)
    return statistics.median(times), result


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--figure", help="save the results over the images to this file")
    args = parser.parse_args()

    rows = []
    print(f"{'image':8} {'method':10} {'time ms':>9} {'speed-up':>9} {'mean dist px':>13} {'points':>7}")
    for name, image, mask in (coin("coin 1", (185, 220)), coin("coin 2", (60, 330)), horse()):
        # The reference outline, densely: the mask's outer boundary at half level.
        outline = max(measure.find_contours(mask.astype(float), 0.5), key=len)
        init = circle_around(mask, 1.3)
        t_tessaly, pts_xy = median_time(lambda: tessaly.snake(image, init[:, ::-1], weight=90, smooth=0))
        t_skimage, pts_rc = median_time(lambda: segmentation.active_contour(
            filters.gaussian(image, 3, preserve_range=False), init, alpha=0.015, beta=10, gamma=0.001))
        for method, t, rc in (("tessaly", t_tessaly, pts_xy[:, ::-1]), ("skimage", t_skimage, pts_rc)):
            speed = f"{t_skimage / t_tessaly:8.0f}x" if method == "tessaly" else ""
            print(f"{name:8} {method:10} {1000 * t:9.2f} {speed:>9} {mean_distance(rc, outline):13.2f} {len(rc):7d}")
        rows.append((name, image, outline, init, pts_xy[:, ::-1], pts_rc))

    if args.figure:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
        fig, axes = plt.subplots(1, len(rows), figsize=(5 * len(rows), 4.5))
        for ax, (name, image, outline, init, ours, theirs) in zip(axes, rows):
            ax.imshow(image, cmap="gray")
            ax.plot(outline[:, 1], outline[:, 0], "y-", lw=0.8, label="reference")
            ax.plot(init[:, 1], init[:, 0], "w--", lw=0.8, label="start")
            for rc, style, label in ((theirs, "b-", "scikit-image"), (ours, "r-", "tessaly")):
                closed = np.vstack([rc, rc[:1]])
                ax.plot(closed[:, 1], closed[:, 0], style, lw=1.2, label=label)
            # Around the start circle and the object, with a margin.
            both = np.vstack([init, outline])
            (r0, c0), (r1, c1) = both.min(axis=0), both.max(axis=0)
            m = 0.2 * max(r1 - r0, c1 - c0)
            ax.set_xlim(c0 - m, c1 + m)
            ax.set_ylim(r1 + m, r0 - m)
            ax.set_title(name)
            ax.axis("off")
        axes[0].legend(loc="lower left", fontsize=8)
        fig.tight_layout()
        fig.savefig(args.figure, dpi=80)


if __name__ == "__main__":
    main()
