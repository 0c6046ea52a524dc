#!/usr/bin/env python3
"""The Group Policy template: both files are well-formed XML; every string
and presentation the .admx names is defined in the .adml and every one the
.adml defines is used; each presentation's controls name elements of its
policy; and the policies write the keys the program reads.

    tests/policy_template_test.py <repository>
"""
import re
import sys
import xml.etree.ElementTree as ET
from collections import Counter
from pathlib import Path

NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
REFERENCE = re.compile(r"^\$\((string|presentation)\.([^)]+)\)$")


def main(root: Path) -> list:
    faults = []
    try:
        admx = ET.parse(root / "installer/policy/veltrane.admx").getroot()
        adml = ET.parse(root / "installer/policy/en-US/veltrane.adml").getroot()
    except (OSError, ET.ParseError) as error:
        return [f"not read as XML: {error}"]
    if admx.tag != f"{{{NS['p']}}}policyDefinitions" or adml.tag != f"{{{NS['p']}}}policyDefinitionResources":
        faults.append("the root elements are not those of a policy definition and its resources")

    used = {"string": set(), "presentation": set()}
    for element in admx.iter():
        for value in element.attrib.values():
            if match := REFERENCE.match(value):
                used[match.group(1)].add(match.group(2))
    strings = [s.get("id") for s in adml.findall("p:resources/p:stringTable/p:string", NS)]
    presentations = {p.get("id"): p for p in adml.findall("p:resources/p:presentationTable/p:presentation", NS)}
    for kind, defined in (("string", strings), ("presentation", list(presentations))):
        for name in sorted(used[kind] - set(defined)):
            faults.append(f"the .admx names {kind} {name}, which the .adml does not define")
        for name in sorted(set(defined) - used[kind]):
            faults.append(f"the .adml defines {kind} {name}, which the .admx never names")
        for name, count in Counter(defined).items():
            if count > 1:
                faults.append(f"the .adml defines {kind} {name} {count} times")

    categories = {c.get("name") for c in admx.findall("p:categories/p:category", NS)}
    keys = set()
    for policy in admx.findall("p:policies/p:policy", NS):
        name = policy.get("name")
        parent = policy.find("p:parentCategory", NS)
        if parent is None or parent.get("ref") not in categories:
            faults.append(f"policy {name} is in no category of its own file")
        elements = {e.get("id"): e for e in policy.findall("p:elements/*", NS)}
        keys.update(e.get("key", policy.get("key")) for e in elements.values())
        match = REFERENCE.match(policy.get("presentation", ""))
        shown = presentations.get(match.group(2)) if match else None
        controls = [c.get("refId") for c in shown] if shown is not None else []
        if sorted(controls) != sorted(elements):
            faults.append(f"policy {name} has elements {sorted(elements)} but its presentation shows {controls}")

    # The keys the program reads, as its source names them.
    source = (root / "registry/policy.h").read_text()
    read = {text.replace("\\\\", "\\") for text in re.findall(r'k\w+Key = "([^"]+)"', source)}
    if keys != read:
        faults.append(f"the policies write {sorted(keys)}, the program reads {sorted(read)}")
    return faults


if __name__ == "__main__":
    found = main(Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent)
    for fault in found:
        print(fault)
    print("policy template: " + ("faults found" if found else "consistent"))
    sys.exit(1 if found else 0)
