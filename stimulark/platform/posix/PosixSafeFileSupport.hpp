#pragma once

// What the POSIX SafeFileWriter puts in files of their own: the attributes a
// replacement takes from the file it replaces.
namespace Stimulark::SafeFiles {

// Gives replacement the owner and group of replaced as far as the user may give
// them away, its mode (without set-ID bits when neither could be given), its access
// list and its user.* attributes; a new file (replaced < 0) gets the mode that fopen
// would give it. false when the replacement cannot carry the access list or an
// attribute: the list needs the owner and the group kept, since it names them only
// as "the owner" and "the group".
bool takeAttributes(int replacement, int replaced);

} // namespace Stimulark::SafeFiles
