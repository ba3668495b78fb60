#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The generator of the end-to-end benchmarks writes CSV that parses, with
the values those benchmarks rely on, and the same bytes every time.
Usage: make_orders7_test.py BUILD_DIR (skipped, status 77, when the build
has no benchmarks)."""
import csv
import datetime
import io
import os
import subprocess
import sys
from decimal import Decimal

HEADER = ["id", "customer", "amount", "ordered_at", "quantity", "weight", "notes"]
ROWS = 2000


def run(program, *args):
    return subprocess.run([program, *args], capture_output=True, check=False)


def main():
    build = sys.argv[1]
    program = os.path.join(build, "bench", "make-orders7")
    if not os.path.exists(program):
        if not os.path.isdir(os.path.join(build, "bench")):
            print("the build has no benchmarks")
            return 77
        print(f"{program} was not built")
        return 1

    failures = []

    def expect(condition, message):
        if not condition:
            failures.append(message)

    result = run(program, str(ROWS))
    expect(result.returncode == 0, f"exit status {result.returncode}")
    data = result.stdout
    expect(data == run(program, str(ROWS)).stdout, "two runs differ")
    # One random sequence: a shorter file is the start of a longer one.
    shorter = run(program, "100").stdout
    expect(data.startswith(shorter), "100 rows are not the start of 2000")
    expect(run(program, "0").stdout == (",".join(HEADER) + "\n").encode(), "0 rows: not the header alone")

    records = list(csv.reader(io.StringIO(data.decode("utf-8"), newline="")))
    expect(records[0] == HEADER, f"header {records[0]}")
    body = records[1:]
    expect(len(body) == ROWS, f"{len(body)} records")
    for number, record in enumerate(body, 2):
        if len(record) != 7:
            failures.append(f"record {number} has {len(record)} fields: {record}")
            break
        id_, customer, amount, ordered_at, quantity, weight, notes = record
        try:
            int(id_)
            whole, _, cents = amount.lstrip("-").partition(".")
            if not (whole.isdigit() and len(cents) == 2 and cents.isdigit() and len(whole) <= 12):
                raise ValueError(f"amount {amount} is no numeric(14,2)")
            day, _, fraction = ordered_at.partition(".")
            datetime.datetime.strptime(day, "%Y-%m-%d %H:%M:%S")
            if fraction and not (len(fraction) == 2 and fraction.isdigit() and fraction[1] != "0"):
                raise ValueError(f"fraction of {ordered_at}")
            if not -(2**31) <= int(quantity) < 2**31:
                raise ValueError(f"quantity {quantity}")
            # Shortest text, and few enough digits that %.15g prints it back.
            if repr(float(weight)) != repr(float(f"{float(weight):.15g}")):
                raise ValueError(f"weight {weight} needs more than 15 digits")
        except ValueError as error:
            failures.append(f"record {number}: {error}")
            break

    if failures:
        print("\n".join(failures))
        return 1
    columns = list(zip(*body))
    ids = [int(v) for v in columns[0]]
    expect(len(set(ids)) == len(ids), "ids repeat")
    expect(any(v > 2**32 for v in ids), "no id above 2^32")
    expect(any(v < 2**31 for v in ids), "no small id")
    customers = columns[1]
    expect(any('"' in v for v in customers), "no double quote in a name")
    expect(any("," in v for v in customers), "no comma in a name")
    expect(any("\n" in v for v in customers), "no line break in a name")
    expect(any(any(ord(c) > 0xFFFF for c in v) for v in customers), "no emoji in a name")
    expect(any(any(0x7F < ord(c) <= 0xFFFF for c in v) for v in customers), "no non-ASCII letter")
    expect(b'""' in data, "no doubled quote in the file")
    amounts = [Decimal(v) for v in columns[2]]
    expect(any(v < 0 for v in amounts), "no negative amount")
    expect(any(abs(v) >= 10**9 for v in amounts), "no large amount")
    years = [int(v[:4]) for v in columns[3]]
    expect(any(1950 <= y < 1970 for y in years), "no date-time before 1970")
    expect(any(1899 <= y <= 1901 for y in years), "no date-time around 1900")
    expect(any("." in v for v in columns[3]), "no hundredths")
    quantities = [int(v) for v in columns[4]]
    expect(any(v < 0 for v in quantities) and 0 in quantities, "quantities lack negatives or 0")
    notes = columns[6]
    expect(sum(1 for v in notes if not v) > ROWS // 2, "notes are rarely empty")
    expect(any(len(v) > 500 and "," in v for v in notes), "no long notes with commas")

    for bad in ([], ["x"], ["-1"], ["10", "20"], ["12abc"]):
        result = run(program, *bad)
        expect(result.returncode == 2 and not result.stdout and b"usage" in result.stderr,
               f"arguments {bad} were not refused")

    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
