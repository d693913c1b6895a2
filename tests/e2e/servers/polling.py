"""Polling with a deadline: the one way the end-to-end suites wait for something to happen."""
from __future__ import annotations

import time


def wait_until(condition, what: str, deadline_s: float, error=AssertionError):
    """Polls condition every 50 ms until it gives a true value, which it returns; raises error at
    the deadline."""
    end = time.monotonic() + deadline_s
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise error(f"not within {deadline_s} s: {what}")
