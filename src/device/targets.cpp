#include "device/targets.h"

#include <new>

namespace {

void FreeLuns(TargetRecord *t)
{
    LunRecord *l = t->lunHead;
    while (l) {
        LunRecord *next = l->next;
        delete l;
        l = next;
    }
    t->lunHead = nullptr;
    t->lunCount = 0;
}

} // namespace

void FreeTargetList(DeviceRecord &rec)
{
    TargetRecord *t = rec.targetHead;
    while (t) {
        TargetRecord *next = t->next;
        FreeLuns(t);
        delete t;
        t = next;
    }
    rec.targetHead = rec.targetTail = nullptr;
    rec.targetCount = 0;
}

void CopyTargetList(const DeviceRecord &from, DeviceRecord &to)
{
    for (const TargetRecord *t = from.targetHead; t; t = t->next) {
        TargetRecord *copy = new (std::nothrow) TargetRecord(*t);
        if (!copy)
            return;
        copy->next = nullptr;
        copy->previous = to.targetTail;
        copy->lunHead = nullptr;
        copy->lunCount = 0;
        LunRecord **tail = &copy->lunHead;
        for (const LunRecord *l = t->lunHead; l; l = l->next) {
            LunRecord *lc = new (std::nothrow) LunRecord(*l);
            if (!lc)
                break;
            lc->next = nullptr;
            *tail = lc;
            tail = &lc->next;
            ++copy->lunCount;
        }
        if (to.targetTail)
            to.targetTail->next = copy;
        else
            to.targetHead = copy;
        to.targetTail = copy;
        ++to.targetCount;
    }
}
