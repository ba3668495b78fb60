// SPDX-License-Identifier: Apache-2.0
// An ODBC handle freed at the end of its scope.
#pragma once

#include <sql.h>
#include <sqlext.h>

namespace rdodbc {

class Handle {
  public:
    explicit Handle(SQLSMALLINT type) : type_(type) {}
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle() { Free(); }

    SQLHANDLE get() const { return handle_; }
    SQLSMALLINT type() const { return type_; }
    SQLRETURN Allocate(SQLHANDLE parent) {
        Free();
        return SQLAllocHandle(type_, parent, &handle_);
    }
    void Free() {
        if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, handle_);
        handle_ = SQL_NULL_HANDLE;
    }

  private:
    SQLSMALLINT type_;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

inline bool Succeeded(SQLRETURN result) {
    return result == SQL_SUCCESS || result == SQL_SUCCESS_WITH_INFO;
}

} // namespace rdodbc
