// SPDX-License-Identifier: Apache-2.0
// Copy and convert: borrowing, keeping the format, same records.
#include "rdx_test_env.h"

using rdxtest::Fields;
using rdxtest::FieldsOf;
using rdxtest::Stream;

namespace {

class StreamCopy : public rdxtest::SystemTest {};

TEST_F(StreamCopy, CopyTakesFormatAndOwnStorage) {
    Stream source("a text of some length", 300, 40, RDSTREAM_NOCASE), small("abc", 256, 4);
    Stream d("old contents of the destination", 256);
    ASSERT_EQ(0u, RDStreamDataCopy(&d, &source));
    EXPECT_EQ(source.Bytes(), d.Bytes());
    EXPECT_NE(source.s.data, d.s.data);
    EXPECT_EQ((Fields{40, 21, RDSTREAM_NOCASE, 300}), FieldsOf(d.s));
    ASSERT_EQ(0u, RDStreamDataCopy(&d, &small)); // markers derived anew
    EXPECT_EQ(RDSTREAM_PRESIZED, RDStreamDataGetFlags(&d));
    ASSERT_EQ(0u, RDStreamDataCopy(&d, nullptr));
    EXPECT_EQ((Fields{0, 0, 0, 0}), FieldsOf(d.s));
    EXPECT_EQ(nullptr, d.s.data);
    EXPECT_EQ(12808u, RDStreamDataCopy(nullptr, &source));
}

TEST_F(StreamCopy, CopyOfItselfOrOfABorrower) {
    const std::string text = "a text that is long enough to be private";
    Stream s(text, 256), borrower;
    ASSERT_EQ(0u, RDStreamDataCopy(&s, &s));
    ASSERT_EQ(0u, RDStreamDataConvert(&borrower, &s, RDCONVERT_BORROW, 0, nullptr, nullptr));
    ASSERT_EQ(0u, RDStreamDataCopy(&borrower, &borrower)); // storage of its own
    EXPECT_EQ(0u, RDStreamDataGetFlags(&borrower));
    EXPECT_NE(s.s.data, borrower.s.data);
    ASSERT_EQ(0u, RDStreamDataConvert(&borrower, &s, RDCONVERT_BORROW, 0, nullptr, nullptr));
    ASSERT_EQ(0u, RDStreamDataCopy(&s, &borrower)); // reads the bytes the copy frees
    EXPECT_EQ(text, s.Bytes());
    RDStreamClear(&borrower.s);
}

TEST_F(StreamCopy, ConvertBorrowsWhereNothingChanges) {
    Stream source("borrowed bytes", 256, 0, RDSTREAM_NOCASE), d("", 256, 8, RDSTREAM_TRUNCATE);
    uint8_t *data = nullptr;
    uint32_t length = 0;
    ASSERT_EQ(0u, RDStreamDataConvert(&d, &source, RDCONVERT_BORROW | RDCONVERT_KEEPFORMAT, 0,
                                      &data, &length));
    EXPECT_TRUE(source.s.data == data && length == 8); // cut to the destination's maximum
    EXPECT_EQ(RDSTREAM_TRUNCATE | RDSTREAM_BORROWED, RDStreamDataGetFlags(&d));
    ASSERT_EQ(0u, RDStreamDataConvert(&d, &source, RDCONVERT_BORROW, 0, &data, &length));
    EXPECT_EQ(14u, length); // the source's format now
    EXPECT_EQ(RDSTREAM_NOCASE | RDSTREAM_BORROWED, RDStreamDataGetFlags(&d));
    ASSERT_EQ(0u, RDStreamDataSet(&d, 256, "own", 3)); // private again
    EXPECT_EQ(RDSTREAM_NOCASE, RDStreamDataGetFlags(&d));
    Stream empty("", 256);
    ASSERT_EQ(0u,
              RDStreamDataConvert(&d, &empty, RDCONVERT_BORROW, RDCHARSET_UNICODE, &data, &length));
    EXPECT_EQ(RDSTREAM_BORROWED, RDStreamDataGetFlags(&d));
}

TEST_F(StreamCopy, ConvertCopiesAndReportsFailures) {
    Stream binary("0123456789ABCDEF", RDKIND_BINARY), d, limited("", 256, 4);
    ASSERT_EQ(0u, RDStreamDataConvert(&d, &binary, 0, RDCHARSET_UNICODE, nullptr, nullptr));
    EXPECT_EQ(binary.Bytes(), d.Bytes()); // binary bytes are never converted
    EXPECT_NE(binary.s.data, d.s.data);
    EXPECT_EQ(RDCHARSET_UNICODE, d.s.charset);
    uint8_t *data = d.s.data;
    uint32_t length = 7;
    EXPECT_EQ(12801u,
              RDStreamDataConvert(&limited, &binary, RDCONVERT_KEEPFORMAT, 0, &data, &length));
    EXPECT_TRUE(data == nullptr && length == 0);
    EXPECT_EQ(nullptr, limited.s.data); // keep-format: only data and length cleared
    EXPECT_EQ(4u, limited.s.maxLength);
    Stream unknown("text", 4242), e("previous", 256, 50, RDSTREAM_NOCASE);
    EXPECT_EQ(12305u, RDStreamDataConvert(&e, &unknown, 0, 256, nullptr, nullptr));
    EXPECT_EQ((Fields{0, 0, 0, 0}), FieldsOf(e.s)); // all cleared
    ASSERT_EQ(0u, RDStreamDataConvert(&e, nullptr, 0, 256, &data, &length));
    EXPECT_EQ(nullptr, e.s.data);
    EXPECT_EQ(0, data[0]); // the empty data
    EXPECT_EQ(12808u, RDStreamDataConvert(nullptr, &binary, 0, 256, &data, &length));
}

TEST_F(StreamCopy, ConvertIntoItself) {
    Stream s("caf\xC3\xA9 and more text", 256);
    ASSERT_EQ(0u,
              RDStreamDataConvert(&s, &s, RDCONVERT_BORROW, RDCHARSET_UNICODE, nullptr, nullptr));
    EXPECT_EQ(rdxtest::Wide(u"caf\u00e9 "), s.Bytes().substr(0, 10));
    ASSERT_EQ(0u, RDStreamDataConvert(&s, &s, RDCONVERT_BORROW, 256, nullptr, nullptr));
    // Nothing to convert: borrowing from itself would point at freed bytes.
    ASSERT_EQ(0u, RDStreamDataConvert(&s, &s, RDCONVERT_BORROW, 0, nullptr, nullptr));
    EXPECT_EQ(0u, RDStreamDataGetFlags(&s));
    EXPECT_EQ("caf\xC3\xA9 and more text", s.Bytes());
    EXPECT_TRUE(rdxtest::Terminated(s.s));

    // A source that borrows the destination's bytes is no better a lender.
    Stream borrower("", 256);
    ASSERT_EQ(0u, RDStreamDataConvert(&borrower.s, &s.s, RDCONVERT_BORROW, 0, nullptr, nullptr));
    ASSERT_EQ(0u, RDStreamDataConvert(&s.s, &borrower.s, RDCONVERT_BORROW, 0, nullptr, nullptr));
    EXPECT_EQ(0u, RDStreamDataGetFlags(&s) & RDSTREAM_BORROWED);
    EXPECT_EQ("caf\xC3\xA9 and more text", s.Bytes());
}

} // namespace
