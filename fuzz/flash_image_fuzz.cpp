// Flash image files come from the user: every check reads them as a
// multiboot image and as a boot-code chain, and must refuse what it cannot
// read without reading past the buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "flash/image.h"
#include "flash/signature.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace flash;
    const Bytes in(data, size);
    const AdapterFacts facts{0x7194, 0x1E7A, 0x0322, 3};
    for (IltFamily family :
         {IltFamily::K7K, IltFamily::Bryn, IltFamily::Dace, IltFamily::Fenn, IltFamily::Rook}) {
        IltCheck check;
        if (ValidateILTImageHeader(facts.ssdid, facts.ssvid, in, facts.chipRevision, family,
                                   &check) == 0) {
            ImageVersions v;
            ValidateFamilyImages(check, in, v, facts);
        }
    }
    ImageVersions v;
    ValidateGenericImageComponents(in, v, facts);
    GetFlashImageComponentVersion(in);
    ILT_CardTypeList_GetMyCardTypeFromCardList(in, facts.ssdid, facts.ssvid);
    HowManyImagesForCardTypeGeneric(in, 5, 3);
    std::vector<uint8_t> stamp(ILT_Header_GetTableLength(in));
    if (UdpateTimeStamp(stamp, in, {2026, 1, 2, 3, 4, 5}) && HLPR_Sum16(stamp, stamp.size() / 2))
        std::abort(); // a stamped table sums to zero

    CheckImageSignature(in);

    ValidateFCoEPciHeaders(in, facts.deviceId);
    ValidateNICPciHeaders(in, facts.deviceId);
    ValidateFLTLocator(in);
    GetImageVersions(in, v, kDeviceKindNic);
    std::vector<uint8_t> chain(in.begin(), in.end());
    UpdateAllPciHeaders(chain, 0x0322, 0x1E7A, 0x7194, "CV-2322");
    std::vector<uint8_t> memo(in.begin(), in.end());
    memo.resize(kMemoBlockSize);
    UpdateFlashMemoBlockData(memo, in, {2026, 1, 2, 3, 4, 5});
    if (!isCorrectFlashMemoBlockSignature(memo))
        std::abort();
    return 0;
}
