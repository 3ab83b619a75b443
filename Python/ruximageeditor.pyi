"""Photos edited with RUXImageEditor's recipes: open, render, save, with NumPy views of the pixels.

Every call that decodes, renders or encodes releases the GIL, so photos render in parallel on
Python threads. Bad input raises Error with the sentence the editor gives.
"""

import os
from typing import Any, Optional, Sequence, Tuple, Union

_Path = Union[str, "os.PathLike[str]"]

class Error(Exception):
    """A photo, recipe, value or file the editor cannot use."""

class Photo:
    """A decoded photo: colour-managed to sRGB, upright."""

    @property
    def width(self) -> int: ...
    @property
    def height(self) -> int: ...

class Image:
    """A rendered picture; numpy.asarray(image) is an H x W x 4 uint8 read-only view of its bytes
    (RGBA, premultiplied by alpha) that keeps the image alive."""

    @property
    def width(self) -> int: ...
    @property
    def height(self) -> int: ...
    def __buffer__(self, flags: int) -> memoryview: ...

class Recipe:
    """Edits as rux-render applies them: a recipe document first, then edits in the order given.
    Recipes pickle (a look file is referred to by its path)."""

    @staticmethod
    def load(path: _Path) -> Recipe: ...
    @staticmethod
    def from_json(text: str) -> Recipe: ...
    @staticmethod
    def from_edits(
        *,
        rotate: Union[str, Sequence[str]] = ...,
        flip: Union[str, Sequence[str]] = ...,
        crop: Tuple[float, float, float, float] = ...,
        brightness: float = ...,
        saturation: float = ...,
        contrast: float = ...,
        look: str = ...,
        look_file: str = ...,
        focus_blur: Union[Tuple[float, float], Tuple[float, float, float]] = ...,
        circle_blur: Tuple[float, float] = ...,
        **other_flags: Any,
    ) -> Recipe:
        """One keyword per rux-render edit flag, spelt with underscores, applied in the order given."""
    def to_json(self, photo: Optional[Photo] = None, scale: float = 2.0) -> str:
        """The recipe as JSON; a crop given as an edit needs the photo it is placed on."""

def open(path_or_bytes: Union[_Path, bytes, bytearray, memoryview]) -> Photo: ...
def from_array(array: Any) -> Photo:
    """A photo of an H x W x 3 or H x W x 4 uint8 array (RGB, or RGBA with plain alpha)."""

def render(photo: Photo, recipe: Recipe, resolution: str = "full", scale: float = 2.0) -> Image:
    """resolution: "original", "full" (what Save renders), "screen" or "thumbnail"."""

def save(
    image: Image, path: _Path, source: Optional[Photo] = None, quality: int = 92, strip_metadata: bool = False
) -> None:
    """PNG, JPEG or WebP by the extension, written atomically, with source's metadata."""

def looks() -> list[str]: ...
def set_threads(n: int) -> None:
    """Caps the threads one render uses (the caller's included); 0: every core."""
