"""The case record and how a case gets its stable id."""

import hashlib
import json
from typing import NamedTuple


class Case(NamedTuple):
    family: str
    template: str
    context: dict

    def case_id(self):
        # Content-derived, so adding or reordering cases keeps the ids of the others (and the
        # known-differences file valid).
        key = self.template + "\0" + json.dumps(self.context, sort_keys=True, ensure_ascii=False)
        return f"{self.family}-{hashlib.sha1(key.encode()).hexdigest()[:8]}"


def case(family, template, context=None):
    return Case(family, template, context or {})
