#!/usr/bin/python
# -*- coding: utf-8 -*-
# quillmark_station: an RDS encoder holds a given station, through quillmark-cli.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: quillmark_station
short_description: Make an RDS encoder hold a station file
description:
  - Reads the encoder on I(port) with C(quillmark-cli) and programs it with I(station) only
    when it holds something else.
  - In check mode the encoder is only read and compared (C(quillmark-cli diff --json)):
    C(changed) says whether programming would change it, and nothing is written.
  - With C(--diff) the fields that differ are shown, the encoder's values before, the
    station's after.
options:
  port:
    description:
      - The encoder's port as C(quillmark-cli) takes it, for example C(COM1), a device such
        as C(/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0), or a
        C(COMn) entry that names a serial device server.
    type: str
    required: true
  station:
    description:
      - The station file, C(.json) (the reviewable form) or raw C(.rds).
    type: path
    required: true
  verify:
    description:
      - Read the encoder back after programming and fail unless it holds the station.
    type: bool
    default: true
  cli:
    description:
      - The C(quillmark-cli) program to run.
    type: str
    default: quillmark-cli
requirements:
  - quillmark-cli on the host that runs the task, with access to the port
"""

EXAMPLES = r"""
- name: The encoder holds this site's station
  quillmark_station:
    port: COM1
    station: "{{ playbook_dir }}/stations/{{ inventory_hostname }}.json"
"""

RETURN = r"""
differences:
  description: The fields that differed before the task, with the encoder's and the station's value.
  returned: when the encoder was compared (check mode or --diff)
  type: list
  elements: dict
verified:
  description: Whether the encoder was read back and held the station.
  returned: when the encoder was programmed
  type: bool
"""

import json

from ansible.module_utils.basic import AnsibleModule

DIFFERS = 1


def run_cli(module, args):
    rc, out, err = module.run_command([module.params["cli"]] + args)
    return rc, out, err.strip()


def compare(module):
    """The differing fields, the encoder's values as "a" and the station's as "b"."""
    rc, out, err = run_cli(module, ["diff", "--json", module.params["port"], module.params["station"]])
    if rc not in (0, DIFFERS):
        module.fail_json(msg=err or "quillmark-cli diff failed", rc=rc)
    return json.loads(out)["differences"]


def show(values):
    return "".join("%s: %s\n" % (field, json.dumps(value, ensure_ascii=False)) for field, value in values)


def diff_of(differences):
    return {
        "before": show((d["field"], d.get("a")) for d in differences if "a" in d),
        "after": show((d["field"], d.get("b")) for d in differences if "b" in d),
        "before_header": "encoder",
        "after_header": "station",
    }


def program(module, if_different):
    args = ["program", module.params["port"], module.params["station"], "--json"]
    if if_different:
        args.append("--if-different")
    if module.params["verify"]:
        args.append("--verify")
    rc, out, err = run_cli(module, args)
    if rc != 0:
        module.fail_json(msg=err or "quillmark-cli program failed", rc=rc)
    return json.loads(out)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            port=dict(type="str", required=True),
            station=dict(type="path", required=True),
            verify=dict(type="bool", default=True),
            cli=dict(type="str", default="quillmark-cli"),
        ),
        supports_check_mode=True,
    )
    result = dict(changed=False, port=module.params["port"], station=module.params["station"])
    if module.check_mode or module._diff:
        differences = compare(module)
        result["differences"] = differences
        result["changed"] = bool(differences)
        if module._diff:
            result["diff"] = diff_of(differences)
        if module.check_mode or not differences:
            module.exit_json(**result)
        report = program(module, if_different=False)
    else:
        # One read decides, in the tool: nothing is written to an encoder that holds the station.
        report = program(module, if_different=True)
    result["changed"] = report["changed"]
    if report["changed"]:
        result["verified"] = report.get("verified", False)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
