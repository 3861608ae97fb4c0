# The README's Python example, drawing doc/python.png instead of showing it:
#   PYTHONPATH=build/python /usr/bin/python3 doc/python_example.py doc/python.png
import sys
import matplotlib
matplotlib.use("Agg")

import matplotlib.pyplot as plt, numpy as np, tessaly
from skimage import data

image = data.coins()
t = np.linspace(0, 2 * np.pi, 40, endpoint=False)
circle = np.column_stack([212.5 + 28 * np.cos(t), 193 + 28 * np.sin(t)])  # x, y in pixels
steps = []  # the points after every step
snake = tessaly.snake(image, circle, weight=90, smooth=0, callback=lambda p, s, pts: steps.append(pts))
plt.imshow(image, cmap="gray")
for pts in steps[::10]: plt.plot(*np.vstack([pts, pts[:1]]).T, "y-", lw=0.6)
plt.plot(*np.vstack([snake, snake[:1]]).T, "r-")

plt.axis([150, 275, 255, 130])
plt.axis("off")
plt.savefig(sys.argv[1], dpi=80, bbox_inches="tight")
