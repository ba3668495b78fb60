// SPDX-License-Identifier: Apache-2.0
// The delimited-text connector under test, in a temporary home.
#pragma once

#include "connector_harness.h"

namespace connectortest {

class CsvTest : public rdxtest::SystemTest {
  protected:
    // A connection to the file name in the home folder with the given
    // properties, connected (the status is checked).
    std::unique_ptr<Connection>
    Open(const std::string &name,
         const std::vector<std::pair<std::string, std::string>> &props = {},
         uint32_t expectConnect = 0) {
        return OpenPath(csv_, home_.Path(name), props, expectConnect);
    }
    std::string Path(const std::string &name) const { return home_.Path(name); }

    Plugin csv_{RDTEST_RDCSV_PATH};
};

} // namespace connectortest
