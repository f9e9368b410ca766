/* Part of a flash region, for callers that need a few bytes of it (the
   boot-code chain's headers) rather than the whole region. */
#ifndef VNSDM_PART_H
#define VNSDM_PART_H

#include "vnsdm.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Bytes [offset, offset + length) of a region (not SD_FLASH_REGION_WHOLE);
   SDERR_INVALID_PARAMETER when they lie outside it. */
VNSDM_API SD_STATUS SDGetOptionRomPart(uint32_t handle, uint32_t port, uint32_t region,
                                       uint32_t offset, uint8_t *buffer, uint32_t length);

#ifdef __cplusplus
}
#endif

#endif
