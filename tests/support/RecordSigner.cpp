#include "RecordSigner.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "record/Digests.h"

RecordSigner::~RecordSigner() {
    for (const std::string& record : signed_) DropRecordDigest(record);
}

void RecordSigner::Sign(const std::string& recordFile, const std::string& text) {
    DropRecordDigest(recordFile);
    long error = 0;
    EXPECT_TRUE(AddRecordDigest(recordFile, text, error)) << "cannot sign " << ToUtf8(recordFile) << ": " << error;
    signed_.push_back(recordFile);
}

void RecordSigner::Write(const std::string& recordFile, const std::string& text) {
    EXPECT_TRUE(WriteFileBytes(recordFile, text)) << ToUtf8(recordFile);
    Sign(recordFile, text);
}
