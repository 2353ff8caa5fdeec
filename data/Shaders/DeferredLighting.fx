<?xml version="1.0" encoding="UTF-8"?>
<Effect>
	<Parameter type="float" name="FrameTime"/>
	<Parameter type="float4" name="QuadScreenSize"/>
	<Parameter type="float2" name="DestScreenSize"/>
	<Parameter type="float4" name="LightDir" shared="true" default="0 1 0 1"/>
	<Parameter type="float4" name="LightColor" shared="true" default="1 1 1 1"/>
	<Parameter type="float4" name="Ambient" shared="true" default="0.5 0.6 0.5 0"/>
	<Parameter type="float4x4" name="World"/>
	<Parameter type="float4x4" name="WorldViewProjection"/>
	<Parameter type="float4x4" name="WorldView"/>
	<Parameter type="float4x4" name="TextureMatrix"/>
	<Parameter type="float3" name="VolLightPosition"/>
	<Parameter type="float" name="Att0"/>
	<Parameter type="float" name="Att1"/>
	<Parameter type="float" name="Att2"/>
	<Parameter type="float4" name="VLightColor" default="1 1 1 1"/>
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
	<Technique name="LightVolume">
		<Pass vertex="Shaders/LightVolume.vert" fragment="Shaders/LightVolume.frag">
			<State name="ZEnable" value="false"/>
			<State name="ZWriteEnable" value="false"/>
			<State name="CullMode" value="CW"/>
			<State name="AlphaBlendEnable" value="true"/>
			<State name="SrcBlend" value="One"/>
			<State name="DestBlend" value="One"/>
			<Sampler texture="Source0" min="Point" mag="Point" mip="None" u="Clamp" v="Clamp"/>
			<Sampler texture="Source1" min="Point" mag="Point" mip="None" u="Clamp" v="Clamp"/>
			<Sampler texture="Source2" min="Point" mag="Point" mip="None" u="Clamp" v="Clamp"/>
		</Pass>
	</Technique>
</Effect>
