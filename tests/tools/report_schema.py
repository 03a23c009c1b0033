"""Validation of startcheck's JSON output against docs/startcheck.schema.json,
with Debian's python3-jsonschema."""

import json
import os

import jsonschema

SCHEMA_FILE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs",
                           "startcheck.schema.json")
with open(SCHEMA_FILE, encoding="utf-8") as _file:
    _VALIDATOR = jsonschema.Draft7Validator(json.load(_file))


def validated(output):
    """The JSON object in `output` (bytes or text), checked against the schema."""
    if isinstance(output, bytes):
        output = output.decode("utf-8")
    report = json.loads(output)
    _VALIDATOR.validate(report)
    return report
