#pragma once

#include <string>

#include <sys/stat.h>

namespace statlume {

/// True when the open file fd at path (described by info) is a credential the service manager
/// handed this service: directly in $CREDENTIALS_DIRECTORY (not a link out of it), owned by
/// this user or by root, writable by nobody but its owner, closed to others, and readable by
/// a group only where that is the mask of an access ACL granting nobody but this user. The
/// service manager writes a credential 0400, owned by root with such an ACL entry for the
/// service's user, or owned by that user where the file system has no ACLs.
bool IsServiceCredential(const std::string& path, int fd, const struct stat& info);

} // namespace statlume
