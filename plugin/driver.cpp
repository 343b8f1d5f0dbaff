// The export driver: one DoExport call from selection to the written files.
#include <cstring>
#include <string>
#include <vector>

#include "plugin/entry.h"
#include "plugin/exporter.h"
#include "ui/dialogs.h"

int VloExporter::DoExport(const char* name, ExpInterface*, Interface* ip, BOOL, DWORD) {
    pxInterface = ip;
    INode* root = ip->GetRootNode();
    INode* selected = FindSelectedNode(root);
    if (!selected) {
        MessageBoxA(ip->GetMAXHWnd(), "No model selected. Please select the model and try again", "Error",
                    MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }

    // Every dummy object among the scene root's children is a marker candidate and, by default, a marker.
    const int numChildren = root->NumberOfChildren();
    for (int i = 0; i < numChildren; ++i) {
        if (ip->GetCancel()) return FALSE;
        INode* child = root->GetChildNode(i);
        const ObjectState os = child->EvalWorldState(0, TRUE);
        if (os.obj && os.obj->ClassID() == DUMMY_CLASS_ID) {
            dummyNodes.push_back(child);
            markerNodes.push_back(child);
        }
    }

    MSTR userProps;
    selected->GetUserPropBuffer(userProps);
    ReadKeyFrameFlags(userProps);

    const INT_PTR result = DialogBoxParamA(VloModuleHandle(), IDD_EXPORT_OPTIONS, ip->GetMAXHWnd(),
                                           ExportOptionsDlgProc, reinterpret_cast<LPARAM>(this));
    if (result != 0) {
        // A path that does not fit the 260-byte path fields is refused rather than cut, so that no
        // file is ever written under a name the user did not choose.
        if (std::strlen(name) > vlo::kMaxPathChars) {
            const std::string message = "The output path is too long (" + std::to_string(std::strlen(name)) +
                                        " characters; at most " + std::to_string(vlo::kMaxPathChars) +
                                        " are supported). Nothing was exported: " + name;
            ShowError(message.c_str());
            return TRUE;
        }
        outputPath = name;
        RunExport();
    }
    return TRUE;
}

void VloExporter::RunExport() {
    INode* root = pxInterface->GetRootNode();
    INode* node = FindSelectedNode(root);

    if (exportMode == IDC_MODE_HIERARCHY && !PrepareSkin(node)) return;
    if (exportMode == IDC_MODE_ANIMATION && !PrepareBiped(node)) return;

    if (pxBipedExport) {
        if (exportMode == IDC_MODE_HIERARCHY) {
            if (!inFigureMode) pxBipedExport->BeginFigureMode(0);
            inFigureMode = TRUE;
        } else if (exportMode == IDC_MODE_ANIMATION) {
            EnterFigureMode();
            LeaveFigureMode();
        }
        pxBipedExport->RemoveNonUniformScale(TRUE);
    }

    CollectMaterials(root);
    if (exportMode == IDC_MODE_ANIMATION) {
        // No animation sample uses the export origin, so it is not computed (for a skeleton root it
        // would only report that the root has no mesh).
        ExportAnimation(outputPath.c_str());
    } else {
        ComputeOrigin(node, 0);
        ExportModel(node, 0, outputPath.c_str());
    }

    bones.clear();
    boneNodes.clear();
    numBones = 0;

    if (pxBipedExport) {
        pxBipedExport->RemoveNonUniformScale(FALSE);
        if (exportMode == IDC_MODE_HIERARCHY && inFigureMode) pxBipedExport->EndFigureMode(0);
        inFigureMode = FALSE;
    }
}

namespace {

// Visits the nodes below node (not node itself) depth-first, pre-order, children in index order,
// until visit returns true; returns that node or null. Iterative, so any depth of hierarchy is safe.
template <class Visit>
INode* FindBelow(INode* node, Visit visit) {
    std::vector<INode*> stack;
    auto pushChildren = [&stack](INode* n) {
        for (int i = n->NumberOfChildren() - 1; i >= 0; --i)
            if (INode* child = n->GetChildNode(i)) stack.push_back(child);
    };
    pushChildren(node);
    while (!stack.empty()) {
        INode* n = stack.back();
        stack.pop_back();
        if (visit(n)) return n;
        pushChildren(n);
    }
    return nullptr;
}

}  // namespace

INode* VloExporter::FindSelectedNode(INode* node) {
    return FindBelow(node, [](INode* n) { return n->Selected() != 0; });
}

void VloExporter::CollectMaterials(INode* node) {
    AddUniqueMaterial(node->GetMtl());
    FindBelow(node, [this](INode* n) {
        AddUniqueMaterial(n->GetMtl());
        return false;
    });
}

BOOL VloExporter::AddUniqueMaterial(Mtl* material) {
    if (!material) return FALSE;
    for (Mtl* m : materials)
        if (m == material) return FALSE;
    materials.push_back(material);
    return TRUE;
}
