// Image containers: the plane images are installed as "In*.sdd" files, each a
// JPEG stream with three filler bytes put in after its third byte. The saver
// turns each into a JPEG file beside it at start and deletes those at the end.
// The byte transform and the naming rule here are pure (no <windows.h>); the
// file work is in container_files.cpp.
#pragma once
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/exceptions.h"

inline constexpr std::size_t containerHeadLength = 3;     // copied: the JPEG stream's first bytes
inline constexpr std::size_t containerFillerLength = 3;   // dropped
inline constexpr std::size_t containerBlockLength = 2048; // the rest is copied in blocks of this

// Reads up to buffer.size() bytes into buffer and returns how many it read;
// 0 means the end. Throws on failure.
using ContainerReader = std::function<std::size_t(std::span<char> buffer)>;
// Writes the bytes and returns how many it wrote. Throws on failure.
using ImageWriter = std::function<std::size_t(std::span<const char> bytes)>;

// Streams a container into its decoded image: the first 3 bytes, then,
// after dropping 3, the rest block by block. One read each for the head and
// the filler; the copy ends at a read of 0 bytes or at a write that wrote
// fewer bytes than it was given. Nothing is validated: short or non-JPEG
// containers decode without complaint. Holds at most one block in memory.
void transformContainer(const ContainerReader& read, const ImageWriter& write);

// The whole transform over bytes in memory.
std::string decodeContainerBytes(std::string_view container);

// The decoded image's path: the container's path with the 4 characters that
// begin at the first "." of its file name removed and ".jpg" appended
// ("C:\WIN.98\In1.sdd" -> "C:\WIN.98\In1.jpg"). A file name without a "."
// just gets ".jpg".
std::string decodedImagePath(std::string_view containerPath);

// The plane pictures made for twice the density (a display at 200 %): for each
// catalogue image "In<n>.jpg" a container "In<n>x2.sd2" beside the others,
// decoded only when a scaled display uses it, into "In<n>x2.jpg" (the
// decodedImagePath rule). The decode pass's "In*.sdd" never finds them: their
// extension differs in the long and in the 8.3 short name alike (both
// "IN<n>X2.SD2"), so a display at 100 % reads and writes what it always did.
inline constexpr int doubleDensity = 2;
std::string doubleDensityContainerName(std::string_view imageName);

// The images of the pictures at twice the size that a run decodes, each once,
// when a flight needs it: every file it wrote, which each way out deletes
// (also one whose decoding failed), and apart from those the decodings that
// succeeded, the only images ever shown. A decoding that failed is tried
// again the next time its image is asked for.
class DoubleDensityImages {
public:
    // The image's path, after decode() has written it unless a decoding of it
    // succeeded before; decode's failure is thrown on, and the image stays
    // listed for deletion.
    std::string decoded(const std::string& image, const std::function<void()>& decode);
    // Every image written, each once, in the order first asked for.
    const std::vector<std::string>& written() const { return written_; }
    void clear();
private:
    std::vector<std::string> written_;
    std::vector<std::string> succeeded_;
};

// The search pattern of the decode pass, in the Windows directory.
inline constexpr const char* containerPattern = "In*.sdd";

// Whether a file name found by that search is itself "In*.sdd", compared
// without regard to case as the file system does. The search also matches
// 8.3 short names ("Index.sddx" is INDEX~1.SDD), which are no containers.
bool isContainerName(std::string_view fileName);

// The file name of the image decoded from the container of that file name
// (the decodedImagePath rule), or nullopt for a name that is no container's.
// endSaver deletes these names only, never a user's own "Intro.jpg".
std::optional<std::string> decodedImageName(std::string_view fileName);

// Whether a file name is one the program itself gives a decoded image: a
// catalogue image's "In<n>.jpg" or its picture at twice the size's
// "In<n>x2.jpg", compared without regard to case. Another "In*.jpg" (a user's
// "Intro.jpg", an "In99.jpg" of no catalogue slot) is not.
bool isOwnDecodedImageName(std::string_view fileName);

// Whether a file, found by a search for "In*.jpg" in the Windows directory or
// in the program's folder in the temporary directory, is a decoded image that
// a killed run left there: one of the program's own names, last written
// before this start. The times are file times (100-nanosecond steps since 1601).
inline constexpr const char* decodedImagePattern = "In*.jpg";
bool isLeftDecodedImage(std::string_view fileName, std::uint64_t lastWritten, std::uint64_t start);

// A decoded image that its directory refuses to take (the directory or the
// old image may not be written). The same "File access denied" as any I/O
// error of that code; the decode pass tries another directory for it.
class EImageRefused : public EInOutError {
public:
    using EInOutError::EInOutError;
};

// A container that cannot be opened or read: held open by another program
// without read sharing (a backup, a virus scanner), a read error on a bad
// sector, a file the user may not read. The same text as any I/O error of
// that code; like a damaged container it costs only its own flight.
class EContainerUnreadable : public EInOutError {
public:
    using EInOutError::EInOutError;
};

// The containers the decode pass could not read, each with its failure, known
// by the file name of the image it would have given. The flight that uses
// such an image raises that failure when it comes up, as a damaged image
// would, and is set aside; the other flights fly.
class UnreadContainers {
public:
    void clear() { failures_.clear(); }
    void add(std::string_view containerPath, std::exception_ptr failure);
    // Raises the failure of the container whose image imagePath names (its
    // file name, compared without regard to case); returns for any other.
    void raiseFailureFor(std::string_view imagePath) const;
private:
    std::vector<std::pair<std::string, std::exception_ptr>> failures_;   // image file name, failure
};

// Whether the user's temporary directory, as userTemporaryDirectory names
// it, may take the images: an existing directory (isDirectory) that is not
// the Windows directory, which GetTempPathA itself falls back to. The two are
// compared as the file system compares paths: without regard to case or a
// trailing "\".
bool isUsableTemporaryDirectory(std::string_view temporary, std::string_view windowsDirectory, bool isDirectory);

// The program's own folder in the user's temporary directory, which other
// programs share: only what the program put there is ever deleted.
inline constexpr const char* temporaryImageFolder = "Skyvane";

// A saver beside another one of the same account (in another session, or on
// the secure desktop) may find that one's images in the program's folder: it
// decodes into a folder of its own run inside it, named by its process
// number, and removes only that one.
std::string runImageFolderName(std::uint32_t processId);
// Whether a folder in the program's folder is such a run's ("1234").
bool isRunImageFolderName(std::string_view name);

// Where a run may put its decoded images. A saver that finds another saver
// running (in another session, or on the logon screen's desktop) leaves the
// Windows directory's images to that one, which reads them: it neither
// rewrites nor deletes them, and decodes its own into its own folder.
enum class ImagePlaces { WindowsDirectoryFirst, OwnFolderOnly };

// Where the decode pass puts the images: decodeAllInto(directory) decodes
// every container's image into directory and throws EImageRefused when the
// directory refuses one. The Windows directory is tried first; when it
// refuses, every image goes to the user's own temporary directory instead
// (asked for only then; empty when there is none the images may use). Any
// other error, a refusal by the temporary directory too, and the Windows
// directory's refusal when there is no temporary directory, is raised as it
// came. With OwnFolderOnly the temporary directory is the only one; without
// one the pass fails with a sharing violation, the Windows directory's images
// being in another saver's use. imageDirectory is set to each directory
// before anything is written there, so that it names where the images are,
// and where to delete them, even after a failure.
void decodeWhereTaken(const std::string& windowsDirectory, const std::function<std::string()>& temporaryDirectory,
                      const std::function<void(const std::string& directory)>& decodeAllInto, ImagePlaces places,
                      std::string& imageDirectory);

// Win32 (container_files.cpp). Failures throw EInOutError with the system's
// error code; a container is only ever read.
//
// Writes the decoded image of one container into imageDirectory (beside the
// container when that is empty), replacing an existing one. A refused write
// of the image throws EImageRefused.
// A container that cannot be opened or read throws EContainerUnreadable.
// A failure once the image was begun (a full disk, a read error) deletes the
// image, so no part of one is ever taken for the whole.
void decodeImageContainer(const std::string& containerPath, const std::string& imageDirectory = {});
// The decode pass: decodes every "In*.sdd" in the directory that is neither a
// directory nor hidden nor system, one after the other in the order the file
// system lists them, on the calling thread. A container that cannot be read
// is put in unread and the pass goes on; any other failure ends it. The
// images go beside the containers, or, when the directory refuses them, into
// the program's folder in the user's temporary directory; imageDirectory says
// which (decodeWhereTaken). None is no error.
void decodeImageContainers(const std::string& directory, ImagePlaces places, std::string& imageDirectory,
                           UnreadContainers& unread);
// The same, returning the directory that holds the images.
std::string decodeImageContainers(const std::string& directory, UnreadContainers& unread);
// Deletes the decoded images that a killed run left in the Windows directory
// and in the program's folder in the user's temporary directory, its runs'
// folders included: only the program's own names, written before start
// (isLeftDecodedImage), by one search each; each folder goes too once it is
// empty. A file that cannot be deleted stays.
void removeLeftDecodedImages(const std::string& windowsDirectory, std::uint64_t start);
// The program's folder in the user's temporary directory, with OwnFolderOnly
// this run's folder in it (runImageFolderName), made when missing, with its
// trailing "\"; empty when the temporary directory is not usable
// (isUsableTemporaryDirectory) or the folder cannot be made.
std::string temporaryImageDirectory(const std::string& windowsDirectory, ImagePlaces places);
