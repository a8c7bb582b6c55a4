// What a regular file does alike on every system; opening, reading and closing the handle
// are each system's own.

#include "system/RegularFile.h"

namespace sys {

RegularFile::RegularFile(RegularFile&& other) noexcept
    : m_handle(other.m_handle)
    , m_identity(other.m_identity)
{
    other.m_handle = -1;
}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept
{
    if (this != &other) {
        close();
        m_handle = other.m_handle;
        m_identity = other.m_identity;
        other.m_handle = -1;
    }
    return *this;
}

RegularFile::~RegularFile() { close(); }

} // namespace sys
