// The process-wide plug-in object. This file is the only one in its program that calls
// CreatePlugin, because the singleton, once made, lives for the rest of the process.
#include <gtest/gtest.h>

#include "LoginPluginImpl.h"

TEST(CreatePlugin, RetriesAfterAFailedCreationThenAlwaysAnswersTheSameObject) {
    SetCreatePluginFailuresForTest(2);
    EXPECT_EQ(CreatePlugin(), nullptr);
    EXPECT_EQ(CLoginPluginImpl::Singleton(), nullptr);
    EXPECT_EQ(CreatePlugin(), nullptr);

    IBasePlugin* first = CreatePlugin();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(CreatePlugin(), first);
    EXPECT_EQ(CLoginPluginImpl::Singleton(), first);
}
