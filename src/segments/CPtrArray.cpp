// The pointer array: growth of the block on append and the in-order delete.
#include "segments/CPtrArray.h"

#include <algorithm>
#include <cstring>

CPtrArray::~CPtrArray() {
    delete[] ppItems;
}

int CPtrArray::nAdd(CArrayItem* p) {
    const int n = nItems;
    const int m = n + 1;
    if (ppItems == nullptr) {
        ppItems = new CArrayItem*[m]();
        nCapacity = m;
    } else if (m > nCapacity) {
        int nStep = nGrowBy;
        if (nStep == 0) nStep = std::clamp(n / 8, 4, 1024);
        const int nNewCapacity = std::max(nCapacity + nStep, m);
        CArrayItem** ppNew = new CArrayItem*[nNewCapacity]();
        std::copy(ppItems, ppItems + n, ppNew);
        delete[] ppItems;
        ppItems = ppNew;
        nCapacity = nNewCapacity;
    }
    nItems = m;
    ppItems[n] = p;
    return n;
}

void CPtrArray::vDeleteAll() {
    while (nItems > 0) {
        CArrayItem* p = ppItems[0];
        if (nItems > 1) std::memmove(ppItems, ppItems + 1, (nItems - 1) * sizeof *ppItems);
        --nItems;
        delete p;
    }
}
