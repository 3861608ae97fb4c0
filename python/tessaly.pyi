# Names and types of the compiled module tessaly, for editors and type
# checkers.  Coordinates are image pixels: x the column, y the row, (0, 0)
# the centre of the top-left pixel.
import os
from typing import Callable, Optional, Union

import numpy
import numpy.typing

_Points = numpy.typing.ArrayLike
_Callback = Callable[[int, int, numpy.ndarray], Optional[bool]]

def load(path: Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]) -> numpy.ndarray:
    """The file's pixels as uint8, (H, W) or (H, W, C); OSError if unreadable."""

def cost_image(
    image: numpy.ndarray, smooth: Optional[int] = None, smooth_px: Optional[float] = None
) -> numpy.ndarray:
    """The float32 (H, W) cost image of a uint8 image; smooth 0..100, or a width in pixels."""

def snake(
    image: numpy.ndarray,
    points: _Points,
    weight: int = 50,
    smooth: Optional[int] = None,
    passes: int = 10,
    steps: int = 10,
    spacing: float = 5.0,
    max_segments: int = 50,
    callback: Optional[_Callback] = None,
    pressure: int = 0,
    smooth_px: Optional[float] = None,
) -> numpy.ndarray:
    """The snake's final (N, 2) float64 x, y points (pixels) from (M, 2) start points."""

def snake_on_cost(
    cost: numpy.ndarray,
    points: _Points,
    weight: int = 50,
    passes: int = 10,
    steps: int = 10,
    spacing: float = 5.0,
    max_segments: int = 50,
    callback: Optional[_Callback] = None,
    pressure: int = 0,
) -> numpy.ndarray:
    """snake() on a float32 (H, W) cost image already computed."""
