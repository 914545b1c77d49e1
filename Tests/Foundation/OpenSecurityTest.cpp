// OpenSecurityTest.cpp - the null access list descriptor is sized and filled by the system's rules.
//
// Win32-only test code.
#include "Foundation/OpenSecurity.h"

#include <gtest/gtest.h>

TEST(OpenSecurity, DescriptorSizedForThisBuild)
{
    Vorlix::OpenSecurity security;
    DWORD error = 12345;
    ASSERT_EQ(security.build(error), Vorlix::OpenSecurity::OPEN_OK);
    EXPECT_EQ(error, 0u);
    SECURITY_ATTRIBUTES* attributes = security.attributes();
    EXPECT_EQ(attributes->nLength, sizeof(SECURITY_ATTRIBUTES))
        << "24 bytes on the 64-bit build, 12 on 32-bit";
    EXPECT_TRUE(attributes->bInheritHandle);
    // The descriptor holds pointers: 20 bytes only on the 32-bit build, 40 here.
    EXPECT_EQ(SECURITY_DESCRIPTOR_MIN_LENGTH, sizeof(void*) == 8 ? 40u : 20u);
    EXPECT_GE(LocalSize(attributes->lpSecurityDescriptor), SECURITY_DESCRIPTOR_MIN_LENGTH);
    EXPECT_TRUE(IsValidSecurityDescriptor(attributes->lpSecurityDescriptor));
    BOOL present = FALSE;
    BOOL defaulted = TRUE;
    PACL list = reinterpret_cast<PACL>(1);
    ASSERT_TRUE(GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &list, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_EQ(list, nullptr) << "present but null: everyone gets full access";
    EXPECT_FALSE(defaulted);
}
