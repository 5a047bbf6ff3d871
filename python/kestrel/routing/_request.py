"""Route request documents as the adaptor takes them, and what a refused request asked for."""
from __future__ import annotations

import json
from typing import Any, Iterable, List, Optional, Sequence


def _text_that_is_not_utf8(document: Any) -> Optional[str]:
    """The first text of a document that UTF-8 cannot hold (a lone surrogate, as os.fsdecode makes of a
    byte that is not UTF-8), or None."""
    if isinstance(document, str):
        try:
            document.encode("utf-8")
        except UnicodeEncodeError:
            return document
        return None
    if isinstance(document, dict):
        parts: Iterable[Any] = [*document.keys(), *document.values()]
    elif isinstance(document, (list, tuple)):
        parts = document
    else:
        return None
    return next((found for found in map(_text_that_is_not_utf8, parts) if found is not None), None)


def encoded(document: Any) -> bytes:
    """A request document as JSON in UTF-8; ValueError for a text that is not UTF-8, which JSON cannot carry."""
    # JSON writes a NUL as an escape, so nothing of a request is cut short on its way to C.
    text = json.dumps(document, ensure_ascii=False)
    try:
        return text.encode("utf-8")
    except UnicodeEncodeError:
        raise ValueError(f"{_text_that_is_not_utf8(document)!r} is not valid UTF-8: terminal names, and every text "
                         "of a route request, are UTF-8 text") from None


def unknown_names(seeds: Sequence[Any], destinations: Sequence[Any], known: Iterable[str]) -> List[str]:
    """The seed and destination names no terminal has, exactly or after case folding, in request order."""
    folded = {name.casefold() for name in known}
    asked = [seed.get("terminal") if isinstance(seed, dict) else None for seed in seeds] + list(destinations)
    return [name for name in asked if isinstance(name, str) and name.casefold() not in folded]
