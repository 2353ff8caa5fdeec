#include "graphics/scene/ModelIK.h"

#include "LOOM/base/FileUtils.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "graphics/model/Mesh.h"
#include "graphics/model/animation/InverseKinematics.h"
#include "graphics/scene/Model.h"

bool GenerateIKAnimation(Cog* cog, const std::string& constraintFile, const Vector3& target, float turnRate)
{
    if (!cog)
        return false;
    auto* positional = cog->Get<Positional>();
    auto* model = cog->Get<Model>();
    if (!positional || !model || !model->GetMesh() || !model->GetMesh()->GetSkeleton())
        return false;
    ConstraintInfo info;
    if (!LoadConstraintInfo(info, DataFilePath(constraintFile)))
    {
        Console::Instance().Log("GenerateIKAnimation: cannot read the constraints \"" + constraintFile + "\"",
                                LogError);
        return false;
    }
    const IKPlacement placement{positional->GetPositionValue(), positional->GetOrientation(), model->Scale};
    return GenerateIKAnimation(model->GetMesh()->GetSkeleton(), model->GetAnimation(), placement, info, target,
                               turnRate);
}
