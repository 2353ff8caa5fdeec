#pragma once
#include <cstdint>

class BeamRenderer;
class CompFactory;
class GraphicsLoom;

// The particle, effect and beam steps of the loom's frame.
namespace ParticleFrame {
// Puts the ParticleComp (3) and Effect (12) factories into the loom's component table.
void InstallFactories();
// The factory of ParticleComp or Effect; null for other type ids.
CompFactory* Factory(uint32_t typeId);
// The pool's point buffer and the beam renderer's quad: at start-up and after a reset, gone
// at loss; the pool itself is destroyed at shutdown (leak report).
void CreateDeviceObjects(GraphicsLoom& loom);
void ReleaseDeviceObjects();
void Shutdown();
// Every particle component's step.
void UpdateComponents(GraphicsLoom& loom, float frameTime);
// The shared quad, then every effect's update and render.
void RenderEffects(GraphicsLoom& loom, float frameTime);
// Every particle component's systems, then every effect's, between the pool's render states.
void RenderParticles(GraphicsLoom& loom);
// Live beams, aged by the core timer's delta.
void RenderBeams(GraphicsLoom& loom);
BeamRenderer* GetBeamRenderer();
} // namespace ParticleFrame
