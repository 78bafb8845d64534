#include "framework/file_replacement.h"

bool replacesByRenames(unsigned long platformId)
{
    return platformId == windows9xPlatformId;
}

bool replaceFileByMoves(FileMoves& files, const std::string& replacement, const std::string& target)
{
    if (!files.exists(target))
        return files.move(replacement, target);

    const std::string aside = files.spareName(target);
    if (aside.empty() || !files.move(target, aside))
        return false;
    if (!files.move(replacement, target)) {
        // Put the old file back. Should even that fail, it stays under the
        // spare name rather than be deleted.
        files.move(aside, target);
        return false;
    }
    // The old contents are no longer needed; a copy left behind only costs space.
    files.remove(aside);
    return true;
}
