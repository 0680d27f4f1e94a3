#include "IReceiver.h"

#include <cerrno>
#include <cstring>

const char* const MSG_DISK_FULL =
    "The disk is full, so the recording was stopped. What fitted on the disk before that is kept; "
    "free some space or choose another output folder to record again.";
const char* const MSG_NOTHING_SAVED_DISK_FULL = "The disk is full: nothing could be saved.";

CRecorderError WriteFailure(int nErrno)
{
    switch (nErrno)
    {
    case ENOSPC:
        return CRecorderError::Ended(MSG_DISK_FULL, MSG_NOTHING_SAVED_DISK_FULL);
    case EDQUOT:
        return CRecorderError::Ended("Your disk quota is used up, so the recording was stopped. What fitted before that is kept; "
                "free some space or choose another output folder to record again.",
                "Your disk quota is used up: nothing could be saved.");
    case EFBIG:
        return CRecorderError::Ended("The recording reached the largest file size this system allows you (a file-size limit), so it "
                "was stopped. What was written before that is kept.",
                "The largest file size this system allows you is too small for a recording: nothing could be "
                "saved.");
    default:
    {
        const std::string reason = nErrno ? std::strerror(nErrno) : "an unknown error";
        return CRecorderError::Ended("The recording could not be written any further (" + reason +
                    "), so it was stopped. What was written before that is kept.",
                "The recording could not be written (" + reason + "): nothing could be saved.");
    }
    }
}
