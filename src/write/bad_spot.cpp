#include "write/bad_spot.h"

#include "write/write_errors.h"
#include "write/write_loop.h"

bool MayBeBadSpot(uint32_t error) {
    const RawWriteOutcome outcome = OutcomeOfError(error, WriteStage::Writing);
    // A stick's time-out or a pulled card reads the same at first: the read
    // elsewhere tells which.
    return outcome == RawWriteOutcome::MediumFailed || outcome == RawWriteOutcome::DriveGone ||
           outcome == RawWriteOutcome::TimedOut;
}

namespace {

uint32_t Transfer(const SpotTransfers& transfers, uint64_t offset, uint32_t size, uint8_t* readInto,
                  const uint8_t* writeFrom) {
    return writeFrom != nullptr ? transfers.write(transfers.context, offset, writeFrom, size)
                                : transfers.read(transfers.context, offset, readInto, size);
}

}  // namespace

SpotResult RetryTransfer(const SpotTransfers& transfers, uint64_t offset, uint32_t size, uint8_t* readInto,
                         const uint8_t* writeFrom, uint32_t sectorSize, uint32_t error, uint8_t* scratch) {
    if (!MayBeBadSpot(error))
        return SpotResult{SpotVerdict::Failed, offset, error};
    // A diskette's sector is often read or written at the second turn.
    const uint32_t again = Transfer(transfers, offset, size, readInto, writeFrom);
    if (again == 0)
        return SpotResult{SpotVerdict::Recovered, offset, 0};
    if (!MayBeBadSpot(again))
        return SpotResult{SpotVerdict::Failed, offset, again};
    // A drive pulled out answers nowhere; a medium with a bad spot answers
    // at its first track. Under Wine a failing track gives ERROR_NOT_READY,
    // as a pulled drive does: only this read tells them apart.
    const uint64_t elsewhere = offset < kWriteChunkSize ? (offset + size + kWriteChunkSize - 1) / kWriteChunkSize * kWriteChunkSize : 0;
    if (elsewhere + kWriteChunkSize > kWriteImageSize || transfers.read(transfers.context, elsewhere, scratch, kWriteChunkSize) != 0)
        return SpotResult{SpotVerdict::Failed, offset, again};
    for (uint64_t at = offset; at < offset + size; at += sectorSize) {
        const uint32_t part = Transfer(transfers, at, sectorSize, readInto != nullptr ? readInto + (at - offset) : nullptr,
                                       writeFrom != nullptr ? writeFrom + (at - offset) : nullptr);
        if (part != 0)
            return SpotResult{SpotVerdict::BadSpot, at, part};
    }
    return SpotResult{SpotVerdict::BadSpot, offset, again};
}
