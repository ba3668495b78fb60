#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Takes the README's picture of the status page: a runs page with a few
ended runs, a failed one and a copy of a million orders about half done.

Usage: status_page_picture.py BUILD_DIR OUTPUT.png
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cdp  # noqa: E402
import status_page_test as page  # noqa: E402

JOBS = """
[link.orders_csv]
connector = "rdcsv"
Path = "{home}/orders.csv"
Columns = "{columns}"

[link.daily_csv]
connector = "rdcsv"
Path = "{home}/daily.csv"
Columns = "{columns}"

[link.customers_csv]
connector = "rdcsv"
Path = "{home}/customers.csv"
Columns = "{columns}"

[link.shop_db]
connector = "rdsqlite"
Database = "{home}/shop.db"
Create = 1

[activity.load_daily_orders]
connector = "rdcopy"
SourceLink = "daily_csv"
TargetLink = "shop_db"
TargetTable = "daily_orders"
Mode = "replace"

[activity.load_customers]
connector = "rdcopy"
SourceLink = "customers_csv"
TargetLink = "shop_db"
TargetTable = "customers"
Mode = "replace"
OnError = "stop"

[activity.load_orders]
connector = "rdcopy"
SourceLink = "orders_csv"
TargetLink = "shop_db"
TargetTable = "orders"
BatchSize = 5000
Mode = "replace"
"""
GOOD_CUSTOMERS = ("id,amount,ordered_at,customer\n7,1.00,2026-01-01 00:00:00,x\n"
                  "8,1.00,2026-02-28 00:00:00,y\n")


def main():
    build, output = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    work = tempfile.mkdtemp(prefix="status-picture.")
    home = page.Home(build, os.path.join(work, "home"))
    try:
        take(home, output)
    finally:
        home.stop_all()
        shutil.rmtree(work, ignore_errors=True)


def take(home, output):
    for name, count in (("orders.csv", 1000000), ("daily.csv", 20000)):
        with open(home.path(name), "w") as out:
            subprocess.run([page.ORDERS, str(count)], stdout=out, check=True)
    with open(home.path("customers.csv"), "w") as out:
        out.write(GOOD_CUSTOMERS.replace("2026-02-28", "2026-02-30"))
    with open(home.path("jobs.toml"), "w") as out:
        out.write(JOBS.format(home=home.dir, columns=page.COLUMNS))
    port = page.free_port()
    base = "http://127.0.0.1:%d" % port
    home.start("rdcsm", "serve", "--http", "127.0.0.1:%d" % port)
    api = page.Api(base)
    page.wait_until(lambda: page.answers(api), 30, "rdcsm to answer")
    home.tool("define", home.path("jobs.toml"))
    # The ended runs first, one after the other, then the long copy.
    home.start("rdrun", "--serve")
    for name in ("load_daily_orders", "load_daily_orders", "load_customers", "load_customers",
                 "load_daily_orders"):
        number = int(home.tool("run", name).split()[2])
        page.wait_until(lambda: api.run(number)["state"] == "ended", 60, name)
        if name == "load_customers":  # the bad date mended for the next run
            with open(home.path("customers.csv"), "w") as out:
                out.write(GOOD_CUSTOMERS)
    number = int(home.tool("run", "load_orders").split()[2])
    page.wait_until(lambda: (api.run(number)["share"] or 0) >= 0.3, 120, "a third done")
    with cdp.Browser(height=800) as browser:
        browser.navigate(base + "/")
        browser.wait_for("+document.body.dataset.updates >= 2", 30)
        browser.screenshot(output)
    print("wrote " + output)


if __name__ == "__main__":
    main()
