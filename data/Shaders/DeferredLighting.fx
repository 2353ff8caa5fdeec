<?xml version="1.0" encoding="UTF-8"?>
<Effect>
	<Parameter type="float" name="FrameTime"/>
	<Parameter type="float4" name="QuadScreenSize"/>
	<Parameter type="float2" name="DestScreenSize"/>
	<Parameter type="float3" name="LightDirection" shared="true" default="0 -1 0"/>
	<Parameter type="float4" name="LightColor" shared="true" default="1 1 1 1"/>
	<Parameter type="float4" name="AmbientLight" shared="true" default="0.3 0.3 0.3 1"/>
	<Parameter type="texture" name="Source0"/>
	<Parameter type="texture" name="Source1"/>
	<Parameter type="texture" name="Source2"/>
	<Technique name="Deferred">
		<Pass vertex="Shaders/Post.vert" fragment="Shaders/DeferredLighting.frag">
			<State name="ZEnable" value="false"/>
			<State name="ZWriteEnable" value="false"/>
			<State name="CullMode" value="None"/>
			<Sampler texture="Source0" min="Linear" mag="Linear" mip="None" u="Clamp" v="Clamp"/>
			<Sampler texture="Source1" min="Point" mag="Point" mip="None" u="Clamp" v="Clamp"/>
			<Sampler texture="Source2" min="Point" mag="Point" mip="None" u="Clamp" v="Clamp"/>
		</Pass>
	</Technique>
</Effect>
