// A copy of a shared record that a structor test changes, put back when the copy goes: held
// by a fixture, it restores the record after TearDown whatever the test did to it.
#pragma once

#include <cstring>
#include <memory>

template <typename T>
struct structor_test_keep {
    T* where;
    std::unique_ptr<unsigned char[]> bytes;
    explicit structor_test_keep(T& record) : where(&record), bytes(new unsigned char[sizeof(T)])
    {
        memcpy(bytes.get(), (const void*)where, sizeof(T));
    }
    ~structor_test_keep() { memcpy((void*)where, bytes.get(), sizeof(T)); }
    structor_test_keep(const structor_test_keep&) = delete;
    structor_test_keep& operator=(const structor_test_keep&) = delete;
};
